#include "runner/stop.h"

#include <algorithm>

namespace qm::runner {

namespace {

// The window functions come from user32, which the runner loads only to stop a windowed
// program: linked at start-up it would cost every service start a window-station connection,
// more time and memory than everything else the runner does.
using EnumWindowsFn = BOOL(WINAPI*)(WNDENUMPROC, LPARAM);
using GetWindowThreadProcessIdFn = DWORD(WINAPI*)(HWND, LPDWORD);
using PostMessageFn = BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM);

struct WindowSearch {
  const std::vector<DWORD>* pIds;
  GetWindowThreadProcessIdFn pGetWindowThreadProcessId;
  PostMessageFn pPostMessage;
};

// A user32 export as a typed pointer.
template <class Fn>
Fn Resolve(HMODULE hModule, const char* pszName) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(hModule, pszName)));
}

BOOL CALLBACK CloseIfOwned(HWND hWnd, LPARAM lParam) {
  const auto* pSearch = reinterpret_cast<const WindowSearch*>(lParam);
  DWORD dwProcessId = 0;
  pSearch->pGetWindowThreadProcessId(hWnd, &dwProcessId);
  if (std::find(pSearch->pIds->begin(), pSearch->pIds->end(), dwProcessId) !=
      pSearch->pIds->end()) {
    pSearch->pPostMessage(hWnd, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

}  // namespace

void AskProgramToEnd(const CChildProcess& child) {
  // A console program was started on a console of its own, which the runner joins just long
  // enough to send Ctrl+C to everything on it: the program, whatever it started there, and
  // the runner itself, whose handler ignores it. Any process of the job will do to find the
  // console: the program itself may have ended and left what it started.
  std::vector<DWORD> ids = child.ProcessIds();
  for (DWORD dwId : ids) {
    if (::AttachConsole(dwId)) {
      ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
      ::FreeConsole();
      return;
    }
  }
  // A windowed program has no console to join: its windows are asked to close.
  HMODULE hUser32 = ::LoadLibraryA("user32.dll");
  if (!hUser32) return;
  auto pEnumWindows = Resolve<EnumWindowsFn>(hUser32, "EnumWindows");
  WindowSearch search = {&ids,
                         Resolve<GetWindowThreadProcessIdFn>(hUser32, "GetWindowThreadProcessId"),
                         Resolve<PostMessageFn>(hUser32, "PostMessageA")};
  if (pEnumWindows && search.pGetWindowThreadProcessId && search.pPostMessage) {
    pEnumWindows(CloseIfOwned, reinterpret_cast<LPARAM>(&search));
  }
  // user32 stays loaded: it is not made to be unloaded once connected.
}

}  // namespace qm::runner
