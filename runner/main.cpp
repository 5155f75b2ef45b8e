// carrack.exe: the service program of every service the Quillmont tool installs. It runs the
// program named in the service's Parameters key for as long as the service runs.
#include <windows.h>

#include <cstdio>

#include "runner/runner_service.h"

int main() {
  // The name is ignored for a service of its own process: the manager passes the real one
  // to ServiceMain.
  char szName[] = "";
  SERVICE_TABLE_ENTRYA table[] = {{szName, qm::runner::CRunnerService::ServiceMain},
                                  {nullptr, nullptr}};
  if (::StartServiceCtrlDispatcherA(table)) return 0;
  DWORD dwError = ::GetLastError();
  if (dwError == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
    static const char kLine[] =
        "carrack.exe is the Quillmont service runner: it is started by the Service Control "
        "Manager for services that the Quillmont tool (quillmnt.exe) installs, and does "
        "nothing on its own.";
    std::fprintf(stderr, "%s\n", kLine);
    // Double-clicked, the runner's console is its own and closes with it: show the line too.
    DWORD adwProcesses[2];
    HANDLE hStderr = ::GetStdHandle(STD_ERROR_HANDLE);
    if (::GetFileType(hStderr) == FILE_TYPE_CHAR && ::GetConsoleProcessList(adwProcesses, 2) == 1) {
      // user32 is loaded only here: linked, it would attach every service process to a
      // desktop (and its heap) that a service never uses.
      using MessageBoxFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
      HMODULE hUser32 = ::LoadLibraryA("user32.dll");
      auto pMessageBox = hUser32 ? reinterpret_cast<MessageBoxFn>(reinterpret_cast<void*>(
                                       ::GetProcAddress(hUser32, "MessageBoxA")))
                                 : nullptr;
      if (pMessageBox) pMessageBox(nullptr, kLine, "carrack", MB_OK | MB_ICONINFORMATION);
    }
    return 1;
  }
  std::fprintf(stderr, "carrack.exe: StartServiceCtrlDispatcher failed with error %lu.\n",
               static_cast<unsigned long>(dwError));
  return 2;
}
