// The application object: runs the main dialog once and ends when it closes.
#include "app/owned_message_box.h"
#include "app/quillmont_dlg.h"
#include "framework/app.h"
#include "platform/win32_platform.h"

namespace qm::app {

class CQuillmontApp : public fw::CWinApp {
 public:
  BOOL InitInstance() override;
  bool OnCmdMsg(UINT nId, UINT nCode) override;
};

namespace {
CQuillmontApp theApp;
}  // namespace

BOOL CQuillmontApp::InitInstance() {
  // Control hosting and the three-dimensional look need nothing here: the framework's
  // start-up has registered the common controls, and the manifest selects their current look.
  COwnedMessageBox messageBox;
  platform::CWin32Platform win32;
  CQuillmontDlg dlg(win32.Platform(), messageBox);
  messageBox.m_pOwner = &dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;  // no message loop: the program ends with its dialog
}

bool CQuillmontApp::OnCmdMsg(UINT nId, UINT /*nCode*/) {
  if (nId != fw::kIdHelp) return false;
  OnHelp();
  return true;
}

}  // namespace qm::app
