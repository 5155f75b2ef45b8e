#pragma once
// The service shell of one service run: registers with the manager, reads and checks the
// settings, opens the output, has the keeper start the program, reports RUNNING, takes the
// manager's controls, and reports the end once the output is written out.

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "common/win32_handles.h"
#include "runner/core/runner_settings.h"
#include "runner/keep_alive.h"
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
  RunnerSettings m_settings;              // read and checked at the start, used by every run
  COutputCapture m_output;                // outlives every start of the program
  std::unique_ptr<CKeepAlive> m_pKeeper;  // once the settings are read
  // Held while a stop request is accepted, and by the keeper while it decides on and makes a
  // restart, so that no start follows a stop request.
  SRWLOCK m_startLock = SRWLOCK_INIT;
  static inline std::atomic<bool> s_bShuttingDown{false};
};

}  // namespace qm::runner
