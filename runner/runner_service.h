#pragma once
// One service run: read the Parameters key, start the program, report it running, and stop
// it again on request or report its end.

#include <windows.h>

#include <string>

#include "common/win32_handles.h"
#include "runner/child_process.h"
#include "runner/core/run_parameters.h"
#include "runner/output_capture.h"
#include "runner/status_reporter.h"

namespace qm::runner {

class CRunnerService {
 public:
  // The ServiceMain of the dispatch table; the process runs exactly one service.
  static void WINAPI ServiceMain(DWORD dwArgc, LPSTR* ppszArgv);

 private:
  void Run(const char* pszServiceName);
  // Everything up to a running program; on failure the service is reported stopped.
  bool Prepare(DWORD dwEventError);
  void StopProgram();
  void OnProgramEnded();
  // Everything the program wrote is in its files before the service reports it has stopped.
  void FinishOutput();
  void StopWithFailure(DWORD dwError);
  DWORD OnControl(DWORD dwControl);
  static DWORD WINAPI HandlerEx(DWORD dwControl, DWORD dwEventType, void* pEventData,
                                void* pContext);

  std::string m_strName;
  CStatusReporter m_reporter;
  unique_handle m_hStopEvent;
  RunParameters m_params;
  COutputCapture m_output;  // outlives every start of the program
  CChildProcess m_child;
};

}  // namespace qm::runner
