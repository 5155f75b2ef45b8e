#pragma once
// The application object: one static instance of a CWinApp subclass registers itself when
// constructed; the framework's WinMain (framework_main.cpp) runs its InitInstance.

#include <windows.h>

#include <string>

namespace qm::fw {

class CWnd;

// The application's Help command (F1 sends it when no window takes the key). The number is
// the one the classic framework's command range (0xE000 and up) gives Help, so resource
// scripts and menus written for it keep working.
constexpr UINT kIdHelp = 0xE146;

class CWinApp {
 public:
  CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;
  virtual ~CWinApp();

  // Start-up routine. False ends the program at once (dialog-based programs run their
  // dialog here and return false); true runs the message loop of Run().
  virtual BOOL InitInstance() { return TRUE; }
  virtual int Run();
  virtual int ExitInstance() { return 0; }

  // Commands no window took (for example kIdHelp); true when handled.
  virtual bool OnCmdMsg(UINT nId, UINT nCode);
  // The application's help handler: opens the user guide.
  void OnHelp();

  // The user guide beside the executable: its name with the extension ".html".
  std::string GetHelpPath() const;

  HINSTANCE m_hInstance = nullptr;
  CWnd* m_pMainWnd = nullptr;
  std::string m_strHelpPath;  // empty: the default above
};

// The registered application object, or null (as in test programs).
CWinApp* GetApp();

// Where resources are loaded from: the executable.
HINSTANCE GetResourceHandle();

}  // namespace qm::fw
