#include "framework/app.h"

#include "framework/help.h"
#include "framework/wnd.h"

namespace qm::fw {

namespace {
CWinApp* g_pApp = nullptr;
}  // namespace

CWinApp::CWinApp() {
  g_pApp = this;
}

CWinApp::~CWinApp() {
  if (g_pApp == this) g_pApp = nullptr;
}

CWinApp* GetApp() {
  return g_pApp;
}

HINSTANCE GetResourceHandle() {
  return ::GetModuleHandleA(nullptr);
}

int CWinApp::Run() {
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return ExitInstance();
}

bool CWinApp::OnCmdMsg(UINT /*nId*/, UINT /*nCode*/) {
  return false;
}

void CWinApp::OnHelp() {
  OpenUserGuide(m_pMainWnd != nullptr ? m_pMainWnd->GetSafeHwnd() : nullptr);
}

std::string CWinApp::GetHelpPath() const {
  return m_strHelpPath.empty() ? DefaultHelpPath() : m_strHelpPath;
}

}  // namespace qm::fw
