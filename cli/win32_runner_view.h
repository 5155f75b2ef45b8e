#pragma once
// The runner's record as the system holds it: its section opened for reading, copied under
// the record's sequence lock, closed again.

#include "cli/runner_view.h"

namespace qm::cli {

class CWin32RunnerView : public IRunnerView {
 public:
  RunnerViewRead Read(std::uint32_t dwRunnerProcessId, runner::RunnerState* pState) override;
  std::uint64_t Now() override;
  runner::LocalTime LocalTimeOf(std::uint64_t qwFileTime) override;
};

}  // namespace qm::cli
