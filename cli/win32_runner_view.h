#pragma once
// The runner's record as the system holds it: its section opened for reading, its owner
// checked against the runner's account, the record copied under its sequence lock, the
// section closed again.

#include "cli/runner_view.h"

namespace qm::cli {

class CWin32RunnerView : public IRunnerView {
 public:
  RunnerViewRead Read(std::uint32_t dwRunnerProcessId, const RunnerAccount& account,
                      contract::RunnerState* pState) override;
  std::uint64_t Now() override;
  qm::LocalTime LocalTimeOf(std::uint64_t qwFileTime) override;
};

}  // namespace qm::cli
