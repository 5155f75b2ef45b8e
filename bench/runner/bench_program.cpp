// The program the benchmark's runner service starts: it creates the marker file named by its
// argument, then waits until Ctrl+C (or Ctrl+Break) ends it. Like most programs it only
// installs a handler; it does not switch Ctrl+C on or off.
#include <windows.h>

namespace {

BOOL WINAPI OnConsoleEvent(DWORD) {
  ::ExitProcess(0);
}

}  // namespace

int main(int argc, char** argv) {
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  if (argc > 1) {
    HANDLE hFile = ::CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile != INVALID_HANDLE_VALUE) ::CloseHandle(hFile);
  }
  for (;;) ::Sleep(1000);
}
