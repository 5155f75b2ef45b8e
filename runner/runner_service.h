#pragma once
// One service run: read the Parameters key, start the program, report it running, and stop
// it again on request or report its end.

#include <windows.h>

#include <atomic>
#include <string>

#include "common/win32_handles.h"
#include "runner/child_process.h"
#include "runner/core/restart_policy.h"
#include "runner/core/runner_settings.h"
#include "runner/output_capture.h"
#include "runner/state_publisher.h"
#include "runner/status_reporter.h"

namespace qm::runner {

class CRunnerService {
 public:
  // The ServiceMain of the dispatch table; the process runs exactly one service.
  static void WINAPI ServiceMain(DWORD dwArgc, LPSTR* ppszArgv);
  // The system is shutting down: the program may end before the manager's shutdown request
  // arrives, and must not be started again.
  static void NoteShutdown() { s_bShuttingDown = true; }

 private:
  void Run(const char* pszServiceName);
  // Everything up to a running program; on failure the service is reported stopped.
  bool Prepare(DWORD dwEventError);
  // The restart policy, and the program's environment and priority for every start.
  void ApplyRunSettings();
  // Starts the program; on failure the service is reported stopped.
  bool StartProgram();
  // The program ended by itself: restarts it after the back-off (true), or ends the service.
  bool RestartAfterExit();
  // A stop or shutdown was asked for: the program must not start again.
  bool StopAsked() const;
  // The program has ended: what it left running is asked to end, given the StopTimeout, and
  // then ended with the job. bStopping: the service stops, and reports its progress meanwhile.
  void EndLeftovers(bool bStopping);
  void StopProgram();
  void OnProgramEnded();
  // The last report: once the output is written out, SERVICE_STOPPED with the exit codes; when
  // the stop's deadline came first, an event and a failure instead of a clean stop.
  void ReportStopped(ServiceExit exit);
  // Writes the failure's event and ends the service with its exit code; returns false.
  bool Fail(const RunnerFailure& failure);
  DWORD OnControl(DWORD dwControl);
  static DWORD WINAPI HandlerEx(DWORD dwControl, DWORD dwEventType, void* pEventData,
                                void* pContext);

  std::string m_strName;
  CStatusReporter m_reporter;
  CStatePublisher m_publisher;  // what "quillmnt status" shows beside the service's state
  unique_handle m_hStopEvent;
  RunnerSettings m_settings;  // read and checked at the start, used by every run
  COutputCapture m_output;    // outlives every start of the program
  CChildProcess m_child;
  CRestartBackoff m_backoff{RestartSettings{}};
  ULONGLONG m_ullStartedAt = 0;
  ULONGLONG m_ullStopBegan = 0;  // when a stop that was asked for began
  // Held while deciding on and making a restart, and while accepting a stop request, so that
  // no start follows a stop request.
  SRWLOCK m_startLock = SRWLOCK_INIT;
  static inline std::atomic<bool> s_bShuttingDown{false};
};

}  // namespace qm::runner
