// The program's entry point: runs the registered application object. Linked only into
// executables that have one (not into test programs).

#include <windows.h>
// (needs <windows.h> first)
#include <commctrl.h>

#include "framework/app.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*pszCmdLine*/,
                   int /*nCmdShow*/) {
  qm::fw::CWinApp* pApp = qm::fw::GetApp();
  if (pApp == nullptr) return 1;
  pApp->m_hInstance = hInstance;
  // Dialog templates may name any common control (tree views, for example).
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);
  if (!pApp->InitInstance()) return pApp->ExitInstance();
  return pApp->Run();
}
