#include "framework/dialog.h"

#include <cstring>

#include "framework/app.h"

namespace qm::fw {

namespace {

constexpr MsgMapEntry kEntries[] = {
    OnCommand<&CDialog::OnOK>(BN_CLICKED, IDOK),
    OnCommand<&CDialog::OnCancel>(BN_CLICKED, IDCANCEL),
    OnMessage<&CDialog::OnHelpInfo>(WM_HELP),
};

// Resource type of a dialog's initialisation data.
constexpr WORD kRtDlgInit = 240;
// Older tools store the 16-bit numbers of these messages; translate them.
constexpr WORD kLegacyLbAddString = 0x0401;
constexpr WORD kLegacyCbAddString = 0x0403;

}  // namespace

const MessageMap CDialog::kMessageMap{&CWnd::kMessageMap, kEntries};

void DDX_Control(CDataExchange* pDX, int nId, CWnd& rControl) {
  if (rControl.m_hWnd == nullptr) rControl.SubclassDlgItem(nId, pDX->m_pDlgWnd);
}

CDialog::CDialog(UINT nIdTemplate, CWnd* pParentWnd)
    : m_nIdTemplate(nIdTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
  if (m_hWnd != nullptr) {
    HWND hWnd = m_hWnd;
    m_hWnd = nullptr;
    ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
    ::DestroyWindow(hWnd);
  }
}

HWND CDialog::FindOwner() const {
  HWND hOwner = m_pParentWnd != nullptr ? m_pParentWnd->GetSafeHwnd() : nullptr;
  if (hOwner == nullptr) {
    CWinApp* pApp = GetApp();
    if (pApp != nullptr && pApp->m_pMainWnd != nullptr && pApp->m_pMainWnd != this) {
      hOwner = pApp->m_pMainWnd->GetSafeHwnd();
    }
  }
  if (hOwner == nullptr) hOwner = ::GetActiveWindow();
  // Only a top-level window can own a dialog.
  if (hOwner != nullptr) hOwner = ::GetAncestor(hOwner, GA_ROOT);
  return hOwner;
}

INT_PTR CDialog::DoModal() {
  HWND hOwner = FindOwner();
  bool bOwnerDisabled = false;
  if (hOwner != nullptr && ::IsWindowEnabled(hOwner)) {
    ::EnableWindow(hOwner, FALSE);
    bOwnerDisabled = true;
  }

  m_bInModal = true;
  m_nModalResult = -1;
  HWND hWnd = ::CreateDialogParamA(GetResourceHandle(), MAKEINTRESOURCEA(m_nIdTemplate), hOwner,
                                   &CWnd::DialogProc, reinterpret_cast<LPARAM>(this));
  if (hWnd != nullptr) {
    if (m_bInModal && !::IsWindowVisible(hWnd)) ::ShowWindow(hWnd, SW_SHOWNORMAL);
    MSG msg;
    while (m_bInModal) {
      BOOL bGot = ::GetMessageA(&msg, nullptr, 0, 0);
      if (bGot == 0) {
        // The program is quitting: end the dialog and pass the request on to outer loops.
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (bGot == -1) break;
      if (PreTranslateMessage(&msg)) continue;
      if (m_hWnd != nullptr && ::IsDialogMessageA(m_hWnd, &msg)) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  } else {
    m_bInModal = false;
  }

  // The owner comes back before the dialog goes, so that activation returns to it.
  if (bOwnerDisabled) ::EnableWindow(hOwner, TRUE);
  if (hWnd != nullptr) {
    if (hOwner != nullptr && ::GetActiveWindow() == hWnd) ::SetActiveWindow(hOwner);
    ::DestroyWindow(hWnd);
  }
  m_bInModal = false;
  return hWnd != nullptr ? m_nModalResult : -1;
}

void CDialog::EndDialog(int nResult) {
  m_nModalResult = nResult;
  if (m_bInModal) {
    m_bInModal = false;
    // Wakes the loop in case it is waiting with nothing queued.
    if (m_hWnd != nullptr) ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
  }
}

BOOL CDialog::PreTranslateMessage(MSG* /*pMsg*/) {
  return FALSE;
}

BOOL CDialog::OnInitDialog() {
  ExecuteDlgInit();
  UpdateData(false);
  return TRUE;
}

void CDialog::UpdateData(bool bSaveAndValidate) {
  CDataExchange dx{this, bSaveAndValidate};
  DoDataExchange(&dx);
}

void CDialog::OnOK() {
  UpdateData(true);
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

void CDialog::OnHelpInfo() {
  if (CWinApp* pApp = GetApp()) pApp->OnCmdMsg(kIdHelp, 0);
}

void CDialog::ExecuteDlgInit() {
  // Records: control id (WORD), message (WORD), data length (DWORD), data; a zero id ends.
  HINSTANCE hInst = GetResourceHandle();
  HRSRC hRes =
      ::FindResourceA(hInst, MAKEINTRESOURCEA(m_nIdTemplate), MAKEINTRESOURCEA(kRtDlgInit));
  if (hRes == nullptr) return;
  HGLOBAL hData = ::LoadResource(hInst, hRes);
  DWORD nSize = ::SizeofResource(hInst, hRes);
  const BYTE* pData = static_cast<const BYTE*>(::LockResource(hData));
  if (pData == nullptr) return;
  const BYTE* pEnd = pData + nSize;
  while (pEnd - pData >= static_cast<ptrdiff_t>(sizeof(WORD))) {
    WORD nId;
    memcpy(&nId, pData, sizeof(nId));
    if (nId == 0 || pEnd - pData < 8) break;
    WORD nMessage;
    DWORD nLength;
    memcpy(&nMessage, pData + 2, sizeof(nMessage));
    memcpy(&nLength, pData + 4, sizeof(nLength));
    pData += 8;
    if (nLength > static_cast<DWORD>(pEnd - pData)) break;  // damaged: stop, read nothing past
    if (nMessage == kLegacyCbAddString) nMessage = CB_ADDSTRING;
    if (nMessage == kLegacyLbAddString) nMessage = LB_ADDSTRING;
    // The strings must end inside the record; a record without its NUL is skipped.
    if ((nMessage == CB_ADDSTRING || nMessage == LB_ADDSTRING) && nLength > 0 &&
        memchr(pData, '\0', nLength) != nullptr) {
      ::SendDlgItemMessageA(m_hWnd, nId, nMessage, 0, reinterpret_cast<LPARAM>(pData));
    }
    pData += nLength;
  }
}

INT_PTR CALLBACK CWnd::DialogProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam) {
  // The one slot that leads from the dialog to its object; until WM_INITDIALOG it is empty.
  CDialog* pDlg;
  if (nMessage == WM_INITDIALOG) {
    pDlg = reinterpret_cast<CDialog*>(lParam);
    ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
    pDlg->m_hWnd = hWnd;
  } else {
    pDlg = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
  }
  if (pDlg == nullptr) return FALSE;
  INT_PTR nResult = pDlg->HandleMessage(nMessage, wParam, lParam);
  if (nMessage == WM_NCDESTROY) {
    ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
    pDlg->m_hWnd = nullptr;
  }
  return nResult;
}

INT_PTR CDialog::HandleMessage(UINT nMessage, WPARAM wParam, LPARAM lParam) {
  if (nMessage == WM_INITDIALOG) return OnInitDialog();
  LRESULT lResult = 0;
  if (!OnWndMsg(nMessage, wParam, lParam, &lResult)) return FALSE;
  if (ReturnsResultDirectly(nMessage)) return static_cast<INT_PTR>(lResult);
  ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, lResult);
  return TRUE;
}

}  // namespace qm::fw
