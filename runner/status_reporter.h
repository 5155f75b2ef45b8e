#pragma once
// The service's status as the Service Control Manager sees it. The service thread and the
// control handler both report, so every report goes through one lock; check points count up
// within each pending state.

#include <windows.h>

#include "runner/core/service_exit.h"

namespace qm::runner {

class CStatusReporter {
 public:
  bool Register(const char* pszServiceName, LPHANDLER_FUNCTION_EX pHandler, void* pContext);
  void Report(DWORD dwState, DWORD dwWaitHintMs = 0, ServiceExit exit = {});
  // Reports dwState only when the current state is dwExpectedState; true when it did.
  bool ReportIf(DWORD dwExpectedState, DWORD dwState, DWORD dwWaitHintMs);
  // While the program runs but is not ready yet: SERVICE_START_PENDING with the next check point,
  // taking stop and shutdown requests; only while the service is still starting (a stop
  // request's SERVICE_STOP_PENDING is never overwritten). True when it reported.
  bool ReportStarting(DWORD dwWaitHintMs);
  // A stop request: SERVICE_STOP_PENDING when the service takes one now (it runs, or its
  // program is starting); true when it did.
  bool ReportStopPendingIfAccepted(DWORD dwWaitHintMs);

 private:
  void ReportLocked(DWORD dwState, DWORD dwWaitHintMs, ServiceExit exit, bool bTakesStop = false);

  SERVICE_STATUS_HANDLE m_hStatus = nullptr;
  SRWLOCK m_lock = SRWLOCK_INIT;
  SERVICE_STATUS m_status = {SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, 0, 0, 0, 0};
};

}  // namespace qm::runner
