#pragma once
// The line status prints and the exit code it ends with, from the manager's status of the
// service and the runner's view of its program: the manager says whether the service runs, the
// runner whether its program runs or waits to be started again.

#include <cstdint>
#include <string>

#include "cli/runner_view.h"
#include "platform/platform.h"

namespace qm::cli {

// The word status gives a service state: every state by its name.
const char* StateWord(std::uint32_t dwState);
// The word in list's state column, kept short: pausing, continuing and unknown states are
// "pending".
const char* ListStateWord(std::uint32_t dwState);

struct RunnerView {
  RunnerViewRead read = RunnerViewRead::kAbsent;
  contract::RunnerState state;
  qm::LocalTime started;  // state.qwStarted as local time
};

struct StatusLine {
  std::string strText;
  int nExitCode = 0;
};

// qwNow: the system time (FILETIME, UTC). strErrorText: the text of status.win32ExitCode, shown
// for a service that stopped because its runner could not run the program.
StatusLine DescribeStatus(const std::string& strName, const platform::ServiceStatus& status,
                          const RunnerView& view, std::uint64_t qwNow,
                          const std::string& strErrorText);

}  // namespace qm::cli
