// Keeping the program alive: the run settings applied at each start, and what follows when the
// program ends by itself (a restart after the back-off, or the end of the service).
#include <cstdio>
#include <string>

#include "carrack_messages.h"
#include "common/srw_lock.h"
#include "common/win32_handles.h"
#include "runner/core/program_environment.h"
#include "runner/core/runner_settings.h"
#include "runner/core/stop_progress.h"
#include "runner/event_log.h"
#include "runner/runner_service.h"
#include "runner/stop.h"

namespace qm::runner {

namespace {

DWORD PriorityClass(ProcessPriority priority) {
  switch (priority) {
    case ProcessPriority::kIdle:
      return IDLE_PRIORITY_CLASS;
    case ProcessPriority::kBelowNormal:
      return BELOW_NORMAL_PRIORITY_CLASS;
    case ProcessPriority::kNormal:
      return NORMAL_PRIORITY_CLASS;
    case ProcessPriority::kAboveNormal:
      return ABOVE_NORMAL_PRIORITY_CLASS;
    case ProcessPriority::kHigh:
      return HIGH_PRIORITY_CLASS;
  }
  return NORMAL_PRIORITY_CLASS;
}

// The runner's own environment with the Environment value's entries applied; empty when there
// are none, so the program simply inherits the runner's.
std::string ProgramEnvironmentBlock(const std::vector<std::string>& entries) {
  if (entries.empty()) return {};
  unique_environment_strings pOwn(::GetEnvironmentStringsA());
  EnvironmentVariables variables = ParseEnvironmentBlock(pOwn.get());
  ApplyEnvironmentEntries(variables, entries);
  return ComposeEnvironmentBlock(std::move(variables));
}

struct ExitCodeText {
  char szDecimal[16];
  char szHex[16];
};

ExitCodeText FormatExitCode(DWORD dwCode) {
  ExitCodeText text;
  std::snprintf(text.szDecimal, sizeof(text.szDecimal), "%lu", static_cast<unsigned long>(dwCode));
  std::snprintf(text.szHex, sizeof(text.szHex), "0x%lx", static_cast<unsigned long>(dwCode));
  return text;
}

std::string Decimal(std::uint32_t dwValue) {
  return std::to_string(dwValue);
}

}  // namespace

void CRunnerService::ApplyRunSettings() {
  m_backoff = CRestartBackoff(RestartOf(m_settings));
  m_child.SetLaunchOptions(ProgramEnvironmentBlock(m_settings.environment),
                           PriorityClass(PriorityOf(m_settings)));
}

bool CRunnerService::StopAsked() const {
  return s_bShuttingDown || ::WaitForSingleObject(m_hStopEvent.get(), 0) == WAIT_OBJECT_0;
}

void CRunnerService::EndLeftovers(bool bStopping) {
  // The program ended by itself, so nothing has asked what it started to end: that is asked
  // now as the program is at a stop, on the console the program left or through its windows.
  if (m_child.OthersRun()) {
    AskProgramToEnd(m_child);
    ULONGLONG ullStart = ::GetTickCount64();
    for (bool bFirst = true;; bFirst = false) {
      StopStep step = PlanStopStep(m_settings.dwStopTimeoutMs, ::GetTickCount64() - ullStart);
      if (step.bTimedOut) {
        std::string strTimeout = Decimal(m_settings.dwStopTimeoutMs);
        WriteEvent(EVENTLOG_WARNING_TYPE, MSG_LEFTOVERS_ENDED_BY_FORCE,
                   {m_strName.c_str(), strTimeout.c_str()});
        break;
      }
      if (!bFirst && ShouldAskAgain(m_child.AgeMs())) AskProgramToEnd(m_child);
      // A stop that comes meanwhile finds the service stopping: the manager hears the progress.
      if (bStopping || StopAsked()) m_reporter.Report(SERVICE_STOP_PENDING, step.dwWaitHintMs);
      if (m_child.WaitAllEnded(step.dwWaitMs)) return;
    }
  }
  if (bStopping) m_reporter.Report(SERVICE_STOP_PENDING, kEndAllowanceMs);
  m_child.EndAll(kEndAllowanceMs);
}

bool CRunnerService::RestartAfterExit() {
  DWORD dwCode = m_child.ExitCode();
  ULONGLONG ullRunMs = ::GetTickCount64() - m_ullStartedAt;
  if (StopAsked()) {
    // It ended as the stop came, or because the system is going down: a stop all the same.
    EndLeftovers(true);
    ReportStopped(ExitForRequestedStop());
    return false;
  }
  RestartDecision decision = m_backoff.OnProgramEnded(dwCode, ullRunMs);
  ExitCodeText code = FormatExitCode(dwCode);
  if (decision.action == AfterExit::kStop) {
    OnProgramEnded();
    return false;
  }
  if (decision.action == AfterExit::kGiveUp) {
    EndLeftovers(true);
    std::string strRestarts = Decimal(decision.dwRestartsInRow);
    std::string strGoodRun = Decimal(GoodRunMs(m_backoff.Settings()));
    WriteEvent(
        EVENTLOG_ERROR_TYPE, MSG_PROGRAM_GIVEN_UP,
        {m_strName.c_str(), code.szDecimal, code.szHex, strRestarts.c_str(), strGoodRun.c_str()});
    ReportStopped(ExitForGivingUp(dwCode));
    return false;
  }

  std::string strDelay = Decimal(decision.dwDelayMs);
  WriteEvent(EVENTLOG_WARNING_TYPE, MSG_PROGRAM_RESTARTING,
             {m_strName.c_str(), code.szDecimal, code.szHex, strDelay.c_str()});
  // Nothing of the ended run may meet the next one. The service stays running meanwhile and
  // takes stop requests.
  EndLeftovers(false);
  if (!m_child.AllEnded()) {
    m_reporter.Report(SERVICE_STOP_PENDING, kEndAllowanceMs);
    return Fail(
        {FailureKind::kStepFailed, "ending the processes of the ended run", "", "", ERROR_TIMEOUT});
  }
  m_publisher.RestartScheduled(dwCode, decision.dwRestartsInRow, decision.dwDelayMs);
  if (::WaitForSingleObject(m_hStopEvent.get(), decision.dwDelayMs) != WAIT_TIMEOUT) {
    ReportStopped(ExitForRequestedStop());
    return false;
  }
  // Decided and started under the lock that accepts stop requests: a stop either comes first
  // and prevents the start, or comes after it and stops the new run.
  {
    CExclusiveLock hold(m_startLock);
    if (!StopAsked()) return StartProgram();
  }
  ReportStopped(ExitForRequestedStop());
  return false;
}

}  // namespace qm::runner
