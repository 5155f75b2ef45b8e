#include "cli/status_line.h"

#include <cstdio>

#include "cli/exit_codes.h"

namespace qm::cli {

namespace {

namespace st = contract::state;

constexpr std::uint32_t kErrorServiceSpecificError = 1066;
constexpr std::uint32_t kErrorServiceNeverStarted = 1077;
constexpr std::uint64_t kFileTimeTicksPerSecond = 10000000;

std::string Since(const qm::LocalTime& time) {
  char sz[48];
  std::snprintf(sz, sizeof(sz), "%04d-%02d-%02d %02d:%02d:%02d", time.nYear, time.nMonth, time.nDay,
                time.nHour, time.nMinute, time.nSecond);
  return sz;
}

std::string NextStart(std::uint64_t qwNextStart, std::uint64_t qwNow) {
  if (qwNextStart <= qwNow) return "next start due now";
  const std::uint64_t qwSeconds =
      (qwNextStart - qwNow + kFileTimeTicksPerSecond - 1) / kFileTimeTicksPerSecond;
  return "next start in " + std::to_string(qwSeconds) + " s";
}

// The words in brackets after "running", and the exit code, from what the runner tells.
StatusLine RunningDetail(const RunnerView& view, std::uint64_t qwNow) {
  switch (view.read) {
    case RunnerViewRead::kAbsent:
      return {"the runner tells nothing of the program", kExitOk};
    case RunnerViewRead::kUnreadable:
      return {"the runner's view of the program cannot be read", kExitOk};
    case RunnerViewRead::kUnknownLayout:
      return {"the runner's view of the program is in a form this tool does not know", kExitOk};
    case RunnerViewRead::kUntrusted:
      return {
          "the runner's view of the program cannot be trusted: its record's owner is not known "
          "as the service's account",
          kExitOk};
    case RunnerViewRead::kRead:
      break;
  }
  const contract::RunnerState& state = view.state;
  const std::string strRestarts = "restart " + std::to_string(state.dwRestartsInRow) + " in a row";
  switch (state.phase) {
    case st::Phase::kRunning: {
      std::string strText = "program running, process " + std::to_string(state.dwProcessId) +
                            ", since " + Since(view.started);
      if (state.dwRestartsInRow > 0) strText += ", " + strRestarts;
      return {strText, kExitOk};
    }
    case st::Phase::kRestarting:
      return {"restarting: the program ended with exit code " + std::to_string(state.dwExitCode) +
                  ", " + NextStart(state.qwNextStart, qwNow) + ", " + strRestarts,
              kExitRestarting};
    case st::Phase::kStarting:
      return {"the runner is starting the program", kExitPending};
    case st::Phase::kStopping:
      return {"the runner is stopping the program", kExitPending};
  }
  return {"the runner's view of the program is in a form this tool does not know", kExitOk};
}

}  // namespace

const char* StateWord(std::uint32_t dwState) {
  switch (dwState) {
    case platform::kServiceStopped:
      return "stopped";
    case platform::kServiceStartPending:
      return "starting";
    case platform::kServiceStopPending:
      return "stopping";
    case platform::kServiceRunning:
      return "running";
    case platform::kServicePaused:
      return "paused";
    case platform::kServiceContinuePending:
      return "continuing";
    case platform::kServicePausePending:
      return "pausing";
    default:
      return "in an unknown state";
  }
}

const char* ListStateWord(std::uint32_t dwState) {
  switch (dwState) {
    case platform::kServiceStopped:
    case platform::kServiceStartPending:
    case platform::kServiceStopPending:
    case platform::kServiceRunning:
    case platform::kServicePaused:
      return StateWord(dwState);
    default:
      return "pending";
  }
}

StatusLine DescribeStatus(const std::string& strName, const platform::ServiceStatus& status,
                          const RunnerView& view, std::uint64_t qwNow,
                          const std::string& strErrorText) {
  StatusLine line{strName + ": " + StateWord(status.currentState), kExitPending};
  if (status.currentState == platform::kServiceRunning) {
    const StatusLine detail = RunningDetail(view, qwNow);
    line.strText += " (" + detail.strText + ")";
    line.nExitCode = detail.nExitCode;
  } else if (status.currentState == platform::kServiceStopped) {
    line.nExitCode = kExitStopped;
    if (status.win32ExitCode == kErrorServiceSpecificError) {
      line.strText += " (the program ended with exit code " +
                      std::to_string(status.serviceSpecificExitCode) + ")";
    } else if (status.win32ExitCode != 0 && status.win32ExitCode != kErrorServiceNeverStarted) {
      line.strText += " (the program could not be run: " + strErrorText + ")";
    }
  }
  return line;
}

}  // namespace qm::cli
