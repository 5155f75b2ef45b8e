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

 private:
  void ReportLocked(DWORD dwState, DWORD dwWaitHintMs, ServiceExit exit);

  SERVICE_STATUS_HANDLE m_hStatus = nullptr;
  SRWLOCK m_lock = SRWLOCK_INIT;
  SERVICE_STATUS m_status = {SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, 0, 0, 0, 0};
};

}  // namespace qm::runner
