#include "runner/keep_alive.h"

#include <cstdio>
#include <string>

#include "carrack_messages.h"
#include "common/srw_lock.h"
#include "common/win32_handles.h"
#include "runner/core/command_line.h"
#include "runner/core/program_environment.h"
#include "runner/core/runner_settings.h"
#include "runner/core/stop_progress.h"
#include "runner/event_log.h"
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

CKeepAlive::CKeepAlive(const KeepAliveContext& context)
    : m_context(context),
      m_backoff(RestartOf(context.settings)),
      m_watch({context.strName, context.publisher, context.output, context.hStopEvent},
              ChecksOf(context.settings)) {}

bool CKeepAlive::Open(RunnerFailure* pFailure) {
  std::vector<std::string> entries = m_context.settings.environment;
  if (!m_watch.Open(&entries, pFailure)) return false;
  m_child.SetLaunchOptions(ProgramEnvironmentBlock(entries),
                           PriorityClass(PriorityOf(m_context.settings)));
  return true;
}

bool CKeepAlive::Start(RunnerFailure* pFailure) {
  m_watch.BeforeStart();
  if (!m_child.Start(m_context.settings,
                     {m_context.output.StdoutForProgram(), m_context.output.StderrForProgram()},
                     pFailure)) {
    return false;
  }
  const RunnerSettings& settings = m_context.settings;
  m_watch.Begin(m_child.ProcessId(), m_child.Job(),
                ChooseWorkingDirectory(settings.strRunfile, settings.strDirectory),
                m_child.EnvironmentBlock());
  return true;
}

bool CKeepAlive::StopAsked() const {
  return m_context.bShutdown || ::WaitForSingleObject(m_context.hStopEvent, 0) == WAIT_OBJECT_0;
}

bool CKeepAlive::AskAndWait(bool bStopping) {
  AskProgramToEnd(m_child);
  const ULONGLONG ullStart = ::GetTickCount64();
  for (bool bFirst = true;; bFirst = false) {
    const StopStep step =
        PlanStopStep(m_context.settings.dwStopTimeoutMs, ::GetTickCount64() - ullStart);
    if (step.bTimedOut) return false;
    if (!bFirst && ShouldAskAgain(m_child.AgeMs())) AskProgramToEnd(m_child);
    // A stop that comes meanwhile finds the service stopping: the manager hears the progress.
    if (bStopping || StopAsked()) {
      m_context.reporter.Report(SERVICE_STOP_PENDING, step.dwWaitHintMs);
    }
    if (m_child.WaitAllEnded(step.dwWaitMs)) return true;
    // What a batch file ran has ended, and its interpreter may be waiting for an answer to
    // "Terminate batch job (Y/N)?" that never comes: ending it is the answer yes.
    if (m_child.IsBatch() && m_child.OnlyProgramLeft()) {
      m_child.EndAll(kEndAllowanceMs);
      return true;
    }
  }
}

ServiceExit CKeepAlive::Stop() {
  m_watch.End();
  m_context.publisher.Stopping();
  m_ullStopBegan = ::GetTickCount64();
  if (!AskAndWait(true)) {
    m_context.reporter.Report(SERVICE_STOP_PENDING, kEndAllowanceMs);
    m_child.EndAll(kEndAllowanceMs);
    const std::string strTimeout = Decimal(m_context.settings.dwStopTimeoutMs);
    WriteEvent(EVENTLOG_WARNING_TYPE, MSG_PROGRAM_ENDED_BY_FORCE,
               {m_context.strName.c_str(), strTimeout.c_str()});
  }
  return ExitForRequestedStop();
}

void CKeepAlive::EndLeftovers(bool bStopping) {
  // The program ended by itself, so nothing has asked what it started to end: that is asked
  // now as the program is at a stop, on the console the program left or through its windows.
  if (m_child.OthersRun() && !AskAndWait(bStopping)) {
    const std::string strTimeout = Decimal(m_context.settings.dwStopTimeoutMs);
    WriteEvent(EVENTLOG_WARNING_TYPE, MSG_LEFTOVERS_ENDED_BY_FORCE,
               {m_context.strName.c_str(), strTimeout.c_str()});
  }
  if (bStopping) m_context.reporter.Report(SERVICE_STOP_PENDING, kEndAllowanceMs);
  m_child.EndAll(kEndAllowanceMs);
}

ServiceExit CKeepAlive::EndedForGood(DWORD dwCode) {
  // What the program started ends with the service.
  EndLeftovers(true);
  if (dwCode == 0) {
    WriteEvent(EVENTLOG_INFORMATION_TYPE, MSG_PROGRAM_ENDED, {m_context.strName.c_str()});
  } else {
    const ExitCodeText code = FormatExitCode(dwCode);
    WriteEvent(EVENTLOG_ERROR_TYPE, MSG_PROGRAM_FAILED,
               {m_context.strName.c_str(), code.szDecimal, code.szHex});
  }
  return ExitForProgram(dwCode);
}

bool CKeepAlive::AfterExit(ServiceEnd* pEnd) {
  const DWORD dwCode = m_child.ExitCode();
  // A run counts from its readiness, and not past the health failures it ended in.
  const ULONGLONG ullRunMs = m_watch.Checks().GoodRunMs(::GetTickCount64());
  const char* pszName = m_context.strName.c_str();
  *pEnd = {};
  if (StopAsked()) {
    // It ended as the stop came, or because the system is going down: a stop all the same.
    EndLeftovers(true);
    pEnd->exit = ExitForRequestedStop();
    return false;
  }
  const RestartDecision decision = m_backoff.OnProgramEnded(dwCode, ullRunMs);
  const ExitCodeText code = FormatExitCode(dwCode);
  if (decision.action == AfterExit::kStop) {
    pEnd->exit = EndedForGood(dwCode);
    return false;
  }
  if (decision.action == AfterExit::kGiveUp) {
    EndLeftovers(true);
    const std::string strRestarts = Decimal(decision.dwRestartsInRow);
    const std::string strGoodRun = Decimal(GoodRunMs(m_backoff.Settings()));
    WriteEvent(EVENTLOG_ERROR_TYPE, MSG_PROGRAM_GIVEN_UP,
               {pszName, code.szDecimal, code.szHex, strRestarts.c_str(), strGoodRun.c_str()});
    pEnd->exit = ExitForGivingUp(dwCode);
    return false;
  }

  const std::string strDelay = Decimal(decision.dwDelayMs);
  WriteEvent(EVENTLOG_WARNING_TYPE, MSG_PROGRAM_RESTARTING,
             {pszName, code.szDecimal, code.szHex, strDelay.c_str()});
  // Nothing of the ended run may meet the next one. The service stays running meanwhile and
  // takes stop requests.
  EndLeftovers(false);
  return Restart(dwCode, decision.dwDelayMs, decision.dwRestartsInRow, pEnd);
}

bool CKeepAlive::Restart(DWORD dwCode, DWORD dwDelayMs, DWORD dwRestartsInRow, ServiceEnd* pEnd) {
  if (!m_child.AllEnded()) {
    m_context.reporter.Report(SERVICE_STOP_PENDING, kEndAllowanceMs);
    pEnd->bFailed = true;
    pEnd->failure = {FailureKind::kStepFailed, "ending the processes of the ended run", "", "",
                     ERROR_TIMEOUT};
    return false;
  }
  m_context.publisher.RestartScheduled(dwCode, dwRestartsInRow, dwDelayMs);
  if (::WaitForSingleObject(m_context.hStopEvent, dwDelayMs) != WAIT_TIMEOUT) {
    pEnd->exit = ExitForRequestedStop();
    return false;
  }
  // Decided and started under the lock that accepts stop requests: a stop either comes first
  // and prevents the start, or comes after it and stops the new run.
  {
    CExclusiveLock hold(m_context.startLock);
    if (!StopAsked()) {
      if (Start(&pEnd->failure)) return true;
      pEnd->bFailed = true;
      return false;
    }
  }
  pEnd->exit = ExitForRequestedStop();
  return false;
}

}  // namespace qm::runner

namespace qm::runner {

void CKeepAlive::EndRun(bool bStopping) {
  if (!AskAndWait(bStopping)) {
    const std::string strTimeout = Decimal(m_context.settings.dwStopTimeoutMs);
    WriteEvent(EVENTLOG_WARNING_TYPE, MSG_PROGRAM_ENDED_BY_FORCE,
               {m_context.strName.c_str(), strTimeout.c_str()});
  }
  if (bStopping || StopAsked()) m_context.reporter.Report(SERVICE_STOP_PENDING, kEndAllowanceMs);
  m_child.EndAll(kEndAllowanceMs);
}

ServiceExit CKeepAlive::FailStart(RunEvent why) {
  const char* pszName = m_context.strName.c_str();
  const CRunChecks& checks = m_watch.Checks();
  const std::string strCheck = DescribeProbe(checks.Settings().ready);
  m_context.publisher.Stopping();
  if (why == RunEvent::kEnded) {
    const DWORD dwCode = m_child.ExitCode();
    const ExitCodeText code = FormatExitCode(dwCode);
    WriteEvent(EVENTLOG_ERROR_TYPE, MSG_PROGRAM_ENDED_BEFORE_READY,
               {pszName, code.szDecimal, code.szHex, strCheck.c_str()});
    EndLeftovers(true);
    return ExitForGivingUp(dwCode);
  }
  const std::string strTimeout = Decimal(checks.Settings().dwReadyTimeoutMs);
  WriteEvent(EVENTLOG_ERROR_TYPE, MSG_PROGRAM_NOT_READY,
             {pszName, strTimeout.c_str(), strCheck.c_str(), checks.LastSeen().c_str()});
  // Stopped as at a stop request, and its output gets the time such a stop gives it.
  m_ullStopBegan = ::GetTickCount64();
  EndRun(true);
  return {kErrorTimeout, 0};
}

bool CKeepAlive::AfterFailedRun(RunEvent why, ServiceEnd* pEnd) {
  *pEnd = {};
  const char* pszName = m_context.strName.c_str();
  const CRunChecks& checks = m_watch.Checks();
  const CheckSettings& settings = checks.Settings();
  const bool bNotReady = why == RunEvent::kNotReady;
  const RestartDecision decision = m_backoff.OnRunFailed(checks.GoodRunMs(::GetTickCount64()));
  // What follows, in the one event of the failed run.
  std::string strNext;
  WORD wType = EVENTLOG_ERROR_TYPE;
  if (decision.action == AfterExit::kRestart) {
    strNext = "The runner stops it and starts it again in " + Decimal(decision.dwDelayMs) + " ms.";
    wType = EVENTLOG_WARNING_TYPE;
  } else if (decision.action == AfterExit::kGiveUp) {
    strNext = "The runner stops it and gives up after " + Decimal(decision.dwRestartsInRow) +
              " restarts in a row, none of which ran for " +
              Decimal(GoodRunMs(m_backoff.Settings())) + " ms; the service stops.";
  } else {
    strNext = "The runner stops it, and the service stops (Restart is Never).";
  }
  const std::string strSeen = checks.LastSeen();
  if (bNotReady) {
    const std::string strCheck = DescribeProbe(settings.ready);
    const std::string strTimeout = Decimal(settings.dwReadyTimeoutMs);
    WriteEvent(wType, MSG_RUN_NOT_READY,
               {pszName, strTimeout.c_str(), strCheck.c_str(), strSeen.c_str(), strNext.c_str()});
  } else {
    const std::string strCheck = DescribeProbe(settings.health);
    const std::string strFailures = Decimal(checks.Failures());
    WriteEvent(wType, MSG_PROGRAM_UNHEALTHY,
               {pszName, strCheck.c_str(), strFailures.c_str(), strSeen.c_str(), strNext.c_str()});
  }
  // The usual stop sequence, for the program and everything it started; the service runs on
  // unless a stop comes meanwhile or the policy ends it.
  const bool bEnds = decision.action != AfterExit::kRestart;
  if (bEnds) {
    m_context.publisher.Stopping();
    m_ullStopBegan = ::GetTickCount64();
  }
  EndRun(bEnds);
  if (StopAsked()) {
    pEnd->exit = ExitForRequestedStop();
    return false;
  }
  if (bEnds) {
    // A failure, so that recovery actions follow: 1460 for a program never ready in time,
    // 1067 for one that stopped answering.
    pEnd->exit = bNotReady ? ServiceExit{kErrorTimeout, 0} : ServiceExit{kErrorProcessAborted, 0};
    return false;
  }
  return Restart(m_child.ExitCode(), decision.dwDelayMs, decision.dwRestartsInRow, pEnd);
}

}  // namespace qm::runner
