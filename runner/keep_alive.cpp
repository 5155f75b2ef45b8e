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
#include "runner/probes.h"
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
      m_checks(ChecksOf(context.settings)) {
  const CheckSettings& checks = m_checks.Settings();
  m_bNotify = checks.ready.kind == ProbeKind::kNotify || checks.health.kind == ProbeKind::kNotify;
}

bool CKeepAlive::Open(RunnerFailure* pFailure) {
  std::vector<std::string> entries = m_context.settings.environment;
  if (m_bNotify) {
    DWORD dwError = ERROR_SUCCESS;
    if (!m_notify.Open(&dwError)) {
      *pFailure = {FailureKind::kStepFailed, "creating the notify pipe", "", "", dwError};
      return false;
    }
    // The runner's word last: the Environment value cannot point the program elsewhere.
    entries.push_back(std::string(contract::kNotifyVariable) + "=" + m_notify.Name());
  }
  m_child.SetLaunchOptions(ProgramEnvironmentBlock(entries),
                           PriorityClass(PriorityOf(m_context.settings)));
  return true;
}

bool CKeepAlive::Start(RunnerFailure* pFailure) {
  if (!m_child.Start(m_context.settings,
                     {m_context.output.StdoutForProgram(), m_context.output.StderrForProgram()},
                     pFailure)) {
    return false;
  }
  const RunnerSettings& settings = m_context.settings;
  m_notify.SetJob(m_child.Job());
  // exec: runs in the run's job and folder, and file: looks from that folder.
  if (m_checks.Settings().health.kind == ProbeKind::kExec ||
      m_checks.Settings().ready.kind == ProbeKind::kFile ||
      m_checks.Settings().health.kind == ProbeKind::kFile) {
    m_prober.SetPlace(m_child.Job(),
                      ChooseWorkingDirectory(settings.strRunfile, settings.strDirectory),
                      m_child.EnvironmentBlock());
  }
  m_context.publisher.ProgramStarted(m_child.ProcessId(), WaitsForReady(),
                                     m_checks.Settings().dwReadyTimeoutMs);
  m_bReadyNews = m_checks.Begin(::GetTickCount64()) == CheckVerdict::kReady;
  PublishChecks();
  return true;
}

void CKeepAlive::PublishChecks() {
  namespace st = contract::state;
  const CheckSettings& settings = m_checks.Settings();
  CStatePublisher::CheckView view;
  const bool bWaiting = m_checks.Stage() == CheckStage::kWaitingForReady;
  const bool bNotReady = m_checks.Stage() == CheckStage::kNotReady;
  if (bWaiting || bNotReady) {
    view.dwFlags = bWaiting ? st::kWaitingForReady : st::kEndedNotReady;
    view.strCheck = DescribeProbe(settings.ready);
    view.strSeen = m_checks.LastSeen();
  } else if (settings.health.kind != ProbeKind::kNone) {
    view.dwFlags = st::kHealthChecked;
    if (m_checks.HealthProbed()) view.dwFlags |= st::kHealthProbed;
    if (m_checks.Stage() == CheckStage::kUnhealthy) view.dwFlags |= st::kEndedUnhealthy;
    view.strCheck = DescribeProbe(settings.health);
    view.dwFailures = m_checks.Failures();
    view.dwRetries = settings.dwHealthRetries;
    if (view.dwFailures > 0) view.strSeen = m_checks.LastSeen();
  }
  m_context.publisher.Checks(view);
}

void CKeepAlive::EndChecks() {
  m_checks.Abandon();
  m_prober.Cancel();
}

bool CKeepAlive::OnVerdict(CheckVerdict verdict, RunEvent* pEvent) {
  switch (verdict) {
    case CheckVerdict::kNone:
      return false;
    case CheckVerdict::kReady:
      PublishChecks();
      *pEvent = RunEvent::kReady;
      return true;
    case CheckVerdict::kNotReady:
    case CheckVerdict::kUnhealthy:
      EndChecks();
      PublishChecks();
      *pEvent = verdict == CheckVerdict::kNotReady ? RunEvent::kNotReady : RunEvent::kUnhealthy;
      return true;
    case CheckVerdict::kRecovered: {
      const std::string strCheck = DescribeProbe(m_checks.Settings().health);
      const std::string strFailures = Decimal(m_checks.RecoveredFrom());
      WriteEvent(EVENTLOG_INFORMATION_TYPE, MSG_PROGRAM_RECOVERED,
                 {m_context.strName.c_str(), strCheck.c_str(), strFailures.c_str()});
      PublishChecks();
      return false;
    }
    case CheckVerdict::kPassed:
    case CheckVerdict::kFailed:
      PublishChecks();
      return false;
  }
  return false;
}

void CKeepAlive::OnNotifyMessage(const NotifyMessage& message, RunEvent* pEvent, bool* pbEvent) {
  if (message.kind == NotifyKind::kStatus) {
    m_context.publisher.ProgramStatus(message.strStatus);
    return;
  }
  const CheckSignal signal =
      message.kind == NotifyKind::kReady ? CheckSignal::kNotifyReady : CheckSignal::kNotifyWatchdog;
  if (!*pbEvent) *pbEvent = OnVerdict(m_checks.OnSignal(signal, ::GetTickCount64()), pEvent);
}

RunEvent CKeepAlive::Watch() {
  if (m_bReadyNews) {
    m_bReadyNews = false;
    return RunEvent::kReady;
  }
  for (;;) {
    const ULONGLONG ullNow = ::GetTickCount64();
    const CheckTick tick = m_checks.Tick(ullNow);
    if (tick.bProbe && !m_prober.Order(tick.probe)) {
      // Without its thread the probe cannot be made: it fails, and says why.
      const std::string strSeen =
          "the probe thread cannot be started: " + ProbeErrorText(::GetLastError());
      m_checks.OnAnswer(tick.probe.nId, false, strSeen, ullNow);
    }
    RunEvent event = RunEvent::kProgress;
    if (OnVerdict(tick.verdict, &event)) return event;
    if (tick.bRound) {
      PublishChecks();
      return RunEvent::kProgress;
    }

    // The stop request first, then the program's end: of two at once, these win.
    HANDLE ahWait[4 + CNotifyPipe::kInstances];
    DWORD nWait = 0;
    ahWait[nWait++] = m_context.hStopEvent;
    ahWait[nWait++] = m_child.Process();
    const DWORD nAnswer = nWait;
    ahWait[nWait++] = m_prober.AnswerReady();
    const DWORD nMatch = nWait;
    ahWait[nWait++] = m_context.output.MatchEvent();
    const DWORD nNotify = nWait;
    for (std::size_t i = 0; i < m_notify.EventCount(); ++i) ahWait[nWait++] = m_notify.Event(i);
    const std::uint64_t ullDue = m_checks.DueInMs(ullNow);
    const DWORD dwWait = ullDue >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(ullDue);
    const DWORD dwWhich =
        ::WaitForMultipleObjects(nWait, ahWait, FALSE, ullDue == kNothingDue ? INFINITE : dwWait);
    if (dwWhich == WAIT_OBJECT_0 || dwWhich == WAIT_FAILED) {
      EndChecks();
      return RunEvent::kStopAsked;
    }
    if (dwWhich == WAIT_OBJECT_0 + 1) {
      EndChecks();
      return RunEvent::kEnded;
    }
    bool bEvent = false;
    if (dwWhich == WAIT_OBJECT_0 + nAnswer) {
      unsigned nId = 0;
      ProbeAnswer answer;
      if (m_prober.TakeAnswer(&nId, &answer)) {
        bEvent = OnVerdict(
            m_checks.OnAnswer(nId, answer.bPassed, answer.strSeen, ::GetTickCount64()), &event);
      }
    } else if (dwWhich == WAIT_OBJECT_0 + nMatch) {
      const COutputCapture::Matches matches = m_context.output.TakeMatches();
      if (matches.nReady > 0) {
        bEvent = OnVerdict(m_checks.OnSignal(CheckSignal::kReadyLine, ::GetTickCount64()), &event);
      }
      if (!bEvent && matches.nHealth > 0) {
        bEvent = OnVerdict(m_checks.OnSignal(CheckSignal::kHealthLine, ::GetTickCount64()), &event);
      }
    } else if (dwWhich >= WAIT_OBJECT_0 + nNotify && dwWhich < WAIT_OBJECT_0 + nWait) {
      m_notify.OnSignalled(dwWhich - WAIT_OBJECT_0 - nNotify, [&](const NotifyMessage& message) {
        OnNotifyMessage(message, &event, &bEvent);
      });
    }
    if (bEvent) return event;
  }
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
  EndChecks();
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
  const ULONGLONG ullRunMs = m_checks.GoodRunMs(::GetTickCount64());
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
  const std::string strCheck = DescribeProbe(m_checks.Settings().ready);
  m_context.publisher.Stopping();
  if (why == RunEvent::kEnded) {
    const DWORD dwCode = m_child.ExitCode();
    const ExitCodeText code = FormatExitCode(dwCode);
    WriteEvent(EVENTLOG_ERROR_TYPE, MSG_PROGRAM_ENDED_BEFORE_READY,
               {pszName, code.szDecimal, code.szHex, strCheck.c_str()});
    EndLeftovers(true);
    return ExitForGivingUp(dwCode);
  }
  const std::string strTimeout = Decimal(m_checks.Settings().dwReadyTimeoutMs);
  WriteEvent(EVENTLOG_ERROR_TYPE, MSG_PROGRAM_NOT_READY,
             {pszName, strTimeout.c_str(), strCheck.c_str(), m_checks.LastSeen().c_str()});
  // Stopped as at a stop request, and its output gets the time such a stop gives it.
  m_ullStopBegan = ::GetTickCount64();
  EndRun(true);
  return {kErrorTimeout, 0};
}

bool CKeepAlive::AfterFailedRun(RunEvent why, ServiceEnd* pEnd) {
  *pEnd = {};
  const char* pszName = m_context.strName.c_str();
  const CheckSettings& settings = m_checks.Settings();
  const bool bNotReady = why == RunEvent::kNotReady;
  const RestartDecision decision = m_backoff.OnRunFailed(m_checks.GoodRunMs(::GetTickCount64()));
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
  const std::string strSeen = m_checks.LastSeen();
  if (bNotReady) {
    const std::string strCheck = DescribeProbe(settings.ready);
    const std::string strTimeout = Decimal(settings.dwReadyTimeoutMs);
    WriteEvent(wType, MSG_RUN_NOT_READY,
               {pszName, strTimeout.c_str(), strCheck.c_str(), strSeen.c_str(), strNext.c_str()});
  } else {
    const std::string strCheck = DescribeProbe(settings.health);
    const std::string strFailures = Decimal(m_checks.Failures());
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
