#include "runner/runner_service.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "carrack_messages.h"
#include "common/srw_lock.h"
#include "runner/core/output_drain.h"
#include "runner/core/stop_progress.h"
#include "runner/event_log.h"
#include "runner/failure_event.h"
#include "runner/parameters_key.h"

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
  // Without a ReadyCheck the program is ready once it runs, as it always was; with one, the
  // service stays starting (and takes a stop) until the check passes.
  bool bRunning = false;
  if (m_pKeeper->WaitsForReady()) m_reporter.ReportStarting(m_pKeeper->ReadyWaitHintMs());
  for (;;) {
    const RunEvent event = m_pKeeper->Watch();
    ServiceEnd end;
    switch (event) {
      case RunEvent::kProgress:
        if (!bRunning) m_reporter.ReportStarting(m_pKeeper->ReadyWaitHintMs());
        continue;
      case RunEvent::kReady:
        // A stop that came first keeps its SERVICE_STOP_PENDING; the next watch sees it.
        if (!bRunning) bRunning = m_reporter.ReportIf(SERVICE_START_PENDING, SERVICE_RUNNING, 0);
        continue;
      case RunEvent::kStopAsked:
        // Or a wait that failed: either way the program must not outlive us.
        ReportStopped(m_pKeeper->Stop());
        return;
      case RunEvent::kEnded:
        if (!bRunning) {
          ReportStopped(m_pKeeper->FailStart(event));
          return;
        }
        if (m_pKeeper->AfterExit(&end)) continue;
        break;
      case RunEvent::kNotReady:
      case RunEvent::kUnhealthy:
        if (!bRunning) {
          ReportStopped(m_pKeeper->FailStart(event));
          return;
        }
        if (m_pKeeper->AfterFailedRun(event, &end)) continue;
        break;
    }
    if (end.bFailed) {
      Fail(end.failure);
    } else {
      ReportStopped(end.exit);
    }
    return;
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
  m_pKeeper = std::make_unique<CKeepAlive>(
      KeepAliveContext{m_strName, m_settings, m_reporter, m_publisher, m_output, m_hStopEvent.get(),
                       s_bShuttingDown, m_startLock});

  // The program gets a console of its own (see CChildProcess::Start); the runner attaches to
  // it only to send Ctrl+C, and no console event may end the runner itself. Ctrl+C is switched
  // on, since the program inherits that setting: switched off, Ctrl+C would not reach it.
  ::FreeConsole();
  ::SetConsoleCtrlHandler(IgnoreConsoleEvent, TRUE);
  ::SetConsoleCtrlHandler(nullptr, FALSE);

  // The output files and their pipes, and the notify pipe, serve every start of the program.
  if (!m_output.Start(m_strName, m_settings, &failure) || !m_pKeeper->Open(&failure)) {
    return Fail(failure);
  }
  return m_pKeeper->Start(&failure) || Fail(failure);
}

void CRunnerService::ReportStopped(ServiceExit exit) {
  // Everything the program wrote is in its files before the manager hears of the stop, as far
  // as the stop's deadline allows; the manager sees the check points rise meanwhile.
  const ULONGLONG ullStart = ::GetTickCount64();
  const ULONGLONG ullStopBegan = m_pKeeper ? m_pKeeper->StopBegan() : 0;
  std::uint32_t dwOutputMs =
      PlanOutputWait(m_settings.dwStopTimeoutMs, ullStopBegan != 0, ullStart - ullStopBegan);
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
    if (m_reporter.ReportStopPendingIfAccepted(
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
