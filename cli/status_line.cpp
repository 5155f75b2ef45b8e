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

// "waiting for tcp:127.0.0.1:8080, 12 s of 60 s: connection refused"
std::string Waiting(const contract::RunnerState& state, std::uint64_t qwNow) {
  const std::uint64_t qwSeconds =
      qwNow > state.qwWaitStarted ? (qwNow - state.qwWaitStarted) / kFileTimeTicksPerSecond : 0;
  std::string strText = "waiting for " + state.strCheck + ", " + std::to_string(qwSeconds) +
                        " s of " + std::to_string((state.dwReadyTimeoutMs + 999) / 1000) + " s";
  if (!state.strSeen.empty()) strText += ": " + state.strSeen;
  return strText;
}

// "; the program says: warming up", when it said something.
std::string ProgramSays(const contract::RunnerState& state) {
  return state.strProgramStatus.empty() ? "" : "; the program says: " + state.strProgramStatus;
}

// Why the ended run was ended, when the runner ended it for its checks; empty otherwise.
std::string EndedByChecks(const contract::RunnerState& state) {
  if (state.dwCheckFlags & st::kEndedUnhealthy) {
    return "the program failed its health check " + state.strCheck + " (" + state.strSeen + ")";
  }
  if (state.dwCheckFlags & st::kEndedNotReady) {
    return "the program was not ready in time for " + state.strCheck + " (" + state.strSeen + ")";
  }
  return "";
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
      int nExitCode = kExitOk;
      if (state.dwCheckFlags & st::kHealthChecked) {
        if (state.dwHealthFailures > 0) {
          strText += "; health check failing " + std::to_string(state.dwHealthFailures) + " of " +
                     std::to_string(state.dwHealthRetries) + ": " + state.strSeen;
          nExitCode = kExitUnhealthy;
        } else {
          strText += state.dwCheckFlags & st::kHealthProbed ? "; healthy" : "; not checked yet";
        }
      }
      return {strText + ProgramSays(state), nExitCode};
    }
    case st::Phase::kRestarting: {
      const std::string strWhy = EndedByChecks(state);
      return {"restarting: " +
                  (strWhy.empty()
                       ? "the program ended with exit code " + std::to_string(state.dwExitCode)
                       : strWhy) +
                  ", " + NextStart(state.qwNextStart, qwNow) + ", " + strRestarts,
              kExitRestarting};
    }
    case st::Phase::kStarting:
      // Started again and not ready yet: as good as still waiting for the restart.
      if (state.dwCheckFlags & st::kWaitingForReady) {
        return {"restarting: " + Waiting(state, qwNow) + ", process " +
                    std::to_string(state.dwProcessId) + ", " + strRestarts + ProgramSays(state),
                kExitRestarting};
      }
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
  } else if (status.currentState == platform::kServiceStartPending &&
             view.read == RunnerViewRead::kRead &&
             (view.state.dwCheckFlags & st::kWaitingForReady) != 0) {
    // The program runs; the service starts once its ReadyCheck passes.
    line.strText += " (" + Waiting(view.state, qwNow) + ProgramSays(view.state) + ")";
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
