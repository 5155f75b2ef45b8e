#include "runner/stop.h"

#include <algorithm>

namespace qm::runner {

namespace {

struct WindowSearch {
  const std::vector<DWORD>* pIds;
};

BOOL CALLBACK CloseIfOwned(HWND hWnd, LPARAM lParam) {
  const auto* pSearch = reinterpret_cast<const WindowSearch*>(lParam);
  DWORD dwProcessId = 0;
  ::GetWindowThreadProcessId(hWnd, &dwProcessId);
  if (std::find(pSearch->pIds->begin(), pSearch->pIds->end(), dwProcessId) !=
      pSearch->pIds->end()) {
    ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

}  // namespace

void AskProgramToEnd(const CChildProcess& child) {
  // A console program was started in a process group of its own, whose id is its process
  // id, on a console of its own, which the runner joins just long enough to send the event.
  // Where Ctrl+Break cannot be sent to a group (Wine), Ctrl+C is the closest: it reaches the
  // programs of the group that handle Ctrl+C.
  if (::AttachConsole(child.ProcessId())) {
    if (!::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, child.ProcessId())) {
      ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, child.ProcessId());
    }
    ::FreeConsole();
    return;
  }
  // A windowed program has no console to join: its windows are asked to close.
  std::vector<DWORD> ids = child.ProcessIds();
  WindowSearch search = {&ids};
  ::EnumWindows(CloseIfOwned, reinterpret_cast<LPARAM>(&search));
}

}  // namespace qm::runner
