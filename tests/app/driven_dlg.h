#pragma once
// The real main dialog with a test body that runs from its modal loop once the dialog is up
// and focused, and the few things a user sees and does, by control id.

#include <windows.h>

#include <functional>
#include <string>

#include "app/quillmont_dlg.h"

namespace qm::test {

using app::CQuillmontDlg;

constexpr UINT kRunBody = WM_APP + 40;

// The real dialog with a body that runs from its modal loop once it is up and focused.
class CDrivenDlg : public CQuillmontDlg {
 public:
  using CQuillmontDlg::CQuillmontDlg;

  BOOL OnInitDialog() override {
    BOOL bResult = CQuillmontDlg::OnInitDialog();
    PostMsg(kRunBody);
    return bResult;
  }
  BOOL PreTranslateMessage(MSG* pMsg) override {
    if (pMsg->message == kRunBody && pMsg->hwnd == m_hWnd) {
      if (m_body) m_body(*this);
      if (m_bEndAfterBody) EndDialog(IDABORT);
      return TRUE;
    }
    return CQuillmontDlg::PreTranslateMessage(pMsg);
  }

  std::function<void(CDrivenDlg&)> m_body;
  bool m_bEndAfterBody = true;

  // --- what a user sees and does ---
  std::string Text(int nId) const {
    char szText[1024] = "";
    GetDlgItemText(nId, szText, sizeof(szText));
    return szText;
  }
  void Type(int nId, const char* pszText) const { SetDlgItemText(nId, pszText); }
  bool Enabled(int nId) const { return ::IsWindowEnabled(GetDlgItem(nId)) != FALSE; }
  void Click(int nId) const { ::SendMessageA(GetDlgItem(nId), BM_CLICK, 0, 0); }
  std::string Buttons() const {
    return std::string(Enabled(IDC_INSTALL) ? "I" : "-") + (Enabled(IDC_REMOVE) ? "R" : "-");
  }
  int StartupSel() const {
    return static_cast<int>(::SendDlgItemMessageA(m_hWnd, IDC_STARTUP, CB_GETCURSEL, 0, 0));
  }
  void SelectStartup(int nIndex) const {
    ::SendDlgItemMessageA(m_hWnd, IDC_STARTUP, CB_SETCURSEL, nIndex, 0);
    SendMsg(WM_COMMAND, MAKEWPARAM(IDC_STARTUP, CBN_SELCHANGE),
            reinterpret_cast<LPARAM>(GetDlgItem(IDC_STARTUP)));
  }
};

}  // namespace qm::test
