#include "runner/runner_service.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "carrack_messages.h"
#include "common/srw_lock.h"
#include "runner/core/command_line.h"
#include "runner/core/output_drain.h"
#include "runner/core/stop_progress.h"
#include "runner/event_log.h"
#include "runner/failure_event.h"
#include "runner/parameters_key.h"
#include "runner/stop.h"

namespace qm::runner {

namespace {

// Reading the registry and creating a process take well under this.
constexpr DWORD kStartWaitHintMs = 5000;

// While the runner is attached to the program's console to send it Ctrl+C, no console event
// (that Ctrl+C itself, logoff, shutdown) may end the runner.
BOOL WINAPI IgnoreConsoleEvent(DWORD dwEvent) {
  if (dwEvent == CTRL_SHUTDOWN_EVENT) CRunnerService::NoteShutdown();
  return TRUE;
}

}  // namespace

void WINAPI CRunnerService::ServiceMain(DWORD dwArgc, LPSTR* ppszArgv) {
  // Lives as long as the process: the manager may call the handler until the dispatcher
  // returns, after this function has ended.
  static CRunnerService s_service;
  s_service.Run(dwArgc > 0 && ppszArgv[0] ? ppszArgv[0] : "");
}

void CRunnerService::Run(const char* pszServiceName) {
  m_strName = pszServiceName;
  m_hStopEvent.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  DWORD dwEventError = m_hStopEvent ? ERROR_SUCCESS : ::GetLastError();
  if (!m_reporter.Register(pszServiceName, HandlerEx, this)) {
    // Without a status handle nothing can be reported; the manager sees the process end.
    std::string strError = SystemErrorText(::GetLastError());
    WriteEvent(EVENTLOG_ERROR_TYPE, MSG_RUNNER_STEP_FAILED,
               {pszServiceName, "RegisterServiceCtrlHandlerEx", strError.c_str()});
    return;
  }
  m_reporter.Report(SERVICE_START_PENDING, kStartWaitHintMs);
  if (m_publisher.Open() == CStatePublisher::OpenResult::kNameTaken) {
    WriteEvent(EVENTLOG_WARNING_TYPE, MSG_STATE_NAME_TAKEN,
               {pszServiceName, m_publisher.SectionName().c_str()});
  }
  if (!Prepare(dwEventError)) return;
  m_reporter.Report(SERVICE_RUNNING);

  for (;;) {
    HANDLE ahWait[2] = {m_hStopEvent.get(), m_child.Process()};
    DWORD dwWhich = ::WaitForMultipleObjects(2, ahWait, FALSE, INFINITE);
    if (dwWhich != WAIT_OBJECT_0 + 1) {
      // A stop request, or a wait that failed: either way the program must not outlive us.
      StopProgram();
      return;
    }
    if (!RestartAfterExit()) return;
  }
}

bool CRunnerService::Prepare(DWORD dwEventError) {
  if (!m_hStopEvent) {
    return Fail({FailureKind::kStepFailed, "CreateEvent", "", "", dwEventError});
  }
  RegisterEventSourceOnce();

  RunnerFailure failure;
  CParametersKey key;
  if (!key.Open(m_strName, &failure) || !ReadRunnerSettings(key, &m_settings, &failure) ||
      !CheckRunnerSettings(m_settings, &failure)) {
    return Fail(failure);
  }
  ApplyRunSettings();

  // The program gets a console of its own (see CChildProcess::Start); the runner attaches to
  // it only to send Ctrl+C, and no console event may end the runner itself. Ctrl+C is switched
  // on, since the program inherits that setting: switched off, Ctrl+C would not reach it.
  ::FreeConsole();
  ::SetConsoleCtrlHandler(IgnoreConsoleEvent, TRUE);
  ::SetConsoleCtrlHandler(nullptr, FALSE);

  // The output files and their pipes serve every start of the program.
  if (!m_output.Start(m_strName, m_settings, &failure)) return Fail(failure);
  return StartProgram();
}

bool CRunnerService::StartProgram() {
  RunnerFailure failure;
  if (!m_child.Start(m_settings, {m_output.StdoutForProgram(), m_output.StderrForProgram()},
                     &failure)) {
    return Fail(failure);
  }
  m_ullStartedAt = ::GetTickCount64();
  m_publisher.ProgramStarted(m_child.ProcessId());
  return true;
}

void CRunnerService::StopProgram() {
  m_publisher.Stopping();
  AskProgramToEnd(m_child);
  ULONGLONG ullStart = ::GetTickCount64();
  m_ullStopBegan = ullStart;
  bool bEnded = false;
  for (bool bFirst = true;; bFirst = false) {
    StopStep step = PlanStopStep(m_settings.dwStopTimeoutMs, ::GetTickCount64() - ullStart);
    if (step.bTimedOut) break;
    if (!bFirst && ShouldAskAgain(m_child.AgeMs())) AskProgramToEnd(m_child);
    m_reporter.Report(SERVICE_STOP_PENDING, step.dwWaitHintMs);
    if (m_child.WaitAllEnded(step.dwWaitMs)) {
      bEnded = true;
      break;
    }
    // What a batch file ran has ended, and its interpreter may be waiting for an answer to
    // "Terminate batch job (Y/N)?" that never comes: ending it is the answer yes.
    if (m_child.IsBatch() && m_child.OnlyProgramLeft()) {
      m_child.EndAll(kEndAllowanceMs);
      bEnded = true;
      break;
    }
  }
  if (!bEnded) {
    m_reporter.Report(SERVICE_STOP_PENDING, kEndAllowanceMs);
    m_child.EndAll(kEndAllowanceMs);
    char szTimeout[16];
    std::snprintf(szTimeout, sizeof(szTimeout), "%lu",
                  static_cast<unsigned long>(m_settings.dwStopTimeoutMs));
    WriteEvent(EVENTLOG_WARNING_TYPE, MSG_PROGRAM_ENDED_BY_FORCE, {m_strName.c_str(), szTimeout});
  }
  ReportStopped(ExitForRequestedStop());
}

void CRunnerService::OnProgramEnded() {
  DWORD dwCode = m_child.ExitCode();
  // What the program started ends with the service.
  EndLeftovers(true);
  if (dwCode == 0) {
    WriteEvent(EVENTLOG_INFORMATION_TYPE, MSG_PROGRAM_ENDED, {m_strName.c_str()});
  } else {
    char szDecimal[16];
    char szHex[16];
    std::snprintf(szDecimal, sizeof(szDecimal), "%lu", static_cast<unsigned long>(dwCode));
    std::snprintf(szHex, sizeof(szHex), "0x%lx", static_cast<unsigned long>(dwCode));
    WriteEvent(EVENTLOG_ERROR_TYPE, MSG_PROGRAM_FAILED, {m_strName.c_str(), szDecimal, szHex});
  }
  ReportStopped(ExitForProgram(dwCode));
}

void CRunnerService::ReportStopped(ServiceExit exit) {
  // Everything the program wrote is in its files before the manager hears of the stop, as far
  // as the stop's deadline allows; the manager sees the check points rise meanwhile.
  ULONGLONG ullStart = ::GetTickCount64();
  std::uint32_t dwOutputMs =
      PlanOutputWait(m_settings.dwStopTimeoutMs, m_ullStopBegan != 0, ullStart - m_ullStopBegan);
  bool bWritten = false;
  for (;;) {
    StopStep step = PlanStopStep(dwOutputMs, ::GetTickCount64() - ullStart);
    if (step.bTimedOut) break;
    m_reporter.Report(SERVICE_STOP_PENDING, step.dwWaitHintMs);
    if (m_output.Finish(step.dwWaitMs)) {
      bWritten = true;
      break;
    }
  }
  if (!bWritten) {
    m_reporter.Report(SERVICE_STOP_PENDING, kEndAllowanceMs);
    m_output.Abandon(kEndAllowanceMs);
  }
  if (!bWritten || m_output.Unwritten() > 0) {
    // Never a clean stop: what the program wrote is not all in its files.
    std::string strBytes = std::to_string(m_output.Unwritten());
    std::string strMs = std::to_string(::GetTickCount64() - ullStart);
    WriteEvent(EVENTLOG_ERROR_TYPE, MSG_OUTPUT_LOST,
               {m_strName.c_str(), strBytes.c_str(), strMs.c_str()});
    exit = ExitWithOutputLost(exit);
  }
  m_reporter.Report(SERVICE_STOPPED, 0, exit);
}

bool CRunnerService::Fail(const RunnerFailure& failure) {
  WriteFailureEvent(m_strName, failure);
  ReportStopped(ExitForRunnerFailure(failure.dwError));
  return false;
}

DWORD CRunnerService::OnControl(DWORD dwControl) {
  if (IsStopRequest(dwControl)) {
    // Answered at once, so that the manager sees the stop under way; the service thread does
    // the rest.
    CExclusiveLock hold(m_startLock);
    if (m_reporter.ReportIf(SERVICE_RUNNING, SERVICE_STOP_PENDING,
                            PlanStopStep(m_settings.dwStopTimeoutMs, 0).dwWaitHintMs)) {
      m_publisher.Stopping();
      ::SetEvent(m_hStopEvent.get());
    }
    return NO_ERROR;
  }
  switch (dwControl) {
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    case contract::kControlRotate:
      return m_output.RequestRotation() ? NO_ERROR : ERROR_INVALID_SERVICE_CONTROL;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

DWORD WINAPI CRunnerService::HandlerEx(DWORD dwControl, DWORD, void*, void* pContext) {
  return static_cast<CRunnerService*>(pContext)->OnControl(dwControl);
}

}  // namespace qm::runner
