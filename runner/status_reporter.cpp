#include "runner/status_reporter.h"

#include "common/srw_lock.h"

namespace qm::runner {

bool CStatusReporter::Register(const char* pszServiceName, LPHANDLER_FUNCTION_EX pHandler,
                               void* pContext) {
  m_hStatus = ::RegisterServiceCtrlHandlerExA(pszServiceName, pHandler, pContext);
  return m_hStatus != nullptr;
}

void CStatusReporter::Report(DWORD dwState, DWORD dwWaitHintMs, ServiceExit exit) {
  CExclusiveLock hold(m_lock);
  ReportLocked(dwState, dwWaitHintMs, exit);
}

bool CStatusReporter::ReportIf(DWORD dwExpectedState, DWORD dwState, DWORD dwWaitHintMs) {
  CExclusiveLock hold(m_lock);
  if (m_status.dwCurrentState != dwExpectedState) return false;
  ReportLocked(dwState, dwWaitHintMs, {});
  return true;
}

bool CStatusReporter::ReportStarting(DWORD dwWaitHintMs) {
  CExclusiveLock hold(m_lock);
  if (m_status.dwCurrentState != SERVICE_START_PENDING) return false;
  ReportLocked(SERVICE_START_PENDING, dwWaitHintMs, {}, true);
  return true;
}

bool CStatusReporter::ReportStopPendingIfAccepted(DWORD dwWaitHintMs) {
  CExclusiveLock hold(m_lock);
  if ((m_status.dwControlsAccepted & SERVICE_ACCEPT_STOP) == 0) return false;
  ReportLocked(SERVICE_STOP_PENDING, dwWaitHintMs, {});
  return true;
}

// Reported under the lock, so that the manager receives the reports in the order of their
// check points and a late report never overwrites SERVICE_STOPPED.
void CStatusReporter::ReportLocked(DWORD dwState, DWORD dwWaitHintMs, ServiceExit exit,
                                   bool bTakesStop) {
  bool bPending = dwState == SERVICE_START_PENDING || dwState == SERVICE_STOP_PENDING;
  if (!bPending) {
    m_status.dwCheckPoint = 0;
  } else if (m_status.dwCurrentState == dwState) {
    ++m_status.dwCheckPoint;
  } else {
    m_status.dwCheckPoint = 1;
  }
  m_status.dwCurrentState = dwState;
  m_status.dwWaitHint = bPending ? dwWaitHintMs : 0;
  // Stop, pre-shutdown and shutdown are accepted while the program runs (ready or not), and
  // only then. Pre-shutdown gives the stop the service's pre-shutdown timeout at the system's
  // shutdown, before other services stop; shutdown alone has a few seconds.
  m_status.dwControlsAccepted =
      dwState == SERVICE_RUNNING || bTakesStop
          ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PRESHUTDOWN | SERVICE_ACCEPT_SHUTDOWN
          : 0;
  m_status.dwWin32ExitCode = exit.dwWin32ExitCode;
  m_status.dwServiceSpecificExitCode = exit.dwServiceSpecificExitCode;
  ::SetServiceStatus(m_hStatus, &m_status);
}

}  // namespace qm::runner
