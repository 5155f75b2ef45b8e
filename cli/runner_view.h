#pragma once
// What status reads beside the Service Control Manager: the record a runner publishes about
// its program, and the clock to tell its times by. The Win32 implementation opens the
// runner's section (cli/win32_runner_view.h); the tests script a fake.

#include <cstdint>

#include "cli/runner_owner.h"
#include "common/local_time.h"
#include "contract/state_record.h"

namespace qm::cli {

enum class RunnerViewRead {
  kRead,
  kAbsent,         // no record: a runner from before records, or one that could not publish
  kUnreadable,     // the record exists but could not be opened or copied
  kUnknownLayout,  // a record of a layout this tool does not know (a newer runner)
  kUntrusted,      // a section of that name made by someone else (see cli/runner_owner.h)
};

class IRunnerView {
 public:
  virtual ~IRunnerView() = default;
  // The record of the runner whose process id the manager gave for the service, believed only
  // when its section is the runner's own (account: the service's name and account).
  virtual RunnerViewRead Read(std::uint32_t dwRunnerProcessId, const RunnerAccount& account,
                              contract::RunnerState* pState) = 0;
  // The system time now (FILETIME, UTC), and a FILETIME as local wall-clock time.
  virtual std::uint64_t Now() = 0;
  virtual qm::LocalTime LocalTimeOf(std::uint64_t qwFileTime) = 0;
};

}  // namespace qm::cli
