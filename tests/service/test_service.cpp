// A minimal service for the Remove tests: reports running, and stops when asked.

#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE g_hStatus = nullptr;
HANDLE g_hStopEvent = nullptr;

void Report(DWORD dwState) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = dwState;
  status.dwControlsAccepted = dwState == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwWaitHint = dwState == SERVICE_STOP_PENDING ? 500 : 0;
  ::SetServiceStatus(g_hStatus, &status);
}

DWORD WINAPI OnControl(DWORD dwControl, DWORD, void*, void*) {
  if (dwControl == SERVICE_CONTROL_STOP) {
    Report(SERVICE_STOP_PENDING);
    ::SetEvent(g_hStopEvent);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, char**) {
  g_hStatus = ::RegisterServiceCtrlHandlerExA("", OnControl, nullptr);
  if (g_hStatus == nullptr) return;
  Report(SERVICE_RUNNING);
  ::WaitForSingleObject(g_hStopEvent, INFINITE);
  Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
  g_hStopEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  char szName[] = "";
  SERVICE_TABLE_ENTRYA table[] = {{szName, ServiceMain}, {nullptr, nullptr}};
  return ::StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
