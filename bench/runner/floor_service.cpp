// The least a service program can do: report running, and stopped when asked. The runner's
// figures are measured against this one's.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE g_hStatus = nullptr;
HANDLE g_hStop = nullptr;

void Report(DWORD dwState) {
  SERVICE_STATUS status = {SERVICE_WIN32_OWN_PROCESS,
                           dwState,
                           dwState == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0u,
                           0,
                           0,
                           0,
                           0};
  ::SetServiceStatus(g_hStatus, &status);
}

DWORD WINAPI OnControl(DWORD dwControl, DWORD, void*, void*) {
  if (dwControl == SERVICE_CONTROL_STOP) ::SetEvent(g_hStop);
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD dwArgc, LPSTR* ppszArgv) {
  g_hStop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  g_hStatus = ::RegisterServiceCtrlHandlerExA(dwArgc > 0 ? ppszArgv[0] : "", OnControl, nullptr);
  Report(SERVICE_RUNNING);
  ::WaitForSingleObject(g_hStop, INFINITE);
  Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
  char szName[] = "";
  SERVICE_TABLE_ENTRYA table[] = {{szName, ServiceMain}, {nullptr, nullptr}};
  return ::StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
