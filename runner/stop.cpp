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
  // The program was started in a process group of its own, whose id is its process id; a
  // windowed program has no console and simply does not receive it. Where Ctrl+Break cannot
  // be sent to a group (Wine), Ctrl+C is the closest: it reaches the programs of the group
  // that handle Ctrl+C.
  if (!::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, child.ProcessId())) {
    ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, child.ProcessId());
  }
  std::vector<DWORD> ids = child.ProcessIds();
  WindowSearch search = {&ids};
  ::EnumWindows(CloseIfOwned, reinterpret_cast<LPARAM>(&search));
}

}  // namespace qm::runner
