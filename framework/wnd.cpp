#include "framework/wnd.h"

#include <vector>

#include "framework/app.h"
#include "framework/help.h"

namespace qm::fw {

const MessageMap CWnd::kMessageMap{nullptr, {}};

CWnd::~CWnd() {
  if (m_pfnSuper != nullptr) UnsubclassWindow();
  m_hWnd = nullptr;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  if (hWnd == nullptr) return nullptr;
  // Each kind of our windows is recognised by its procedure, and keeps its object in the
  // slot its kind leaves to the application.
  if (::GetWindowLongPtrA(hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)) {
    return reinterpret_cast<CWnd*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  }
  if (::GetWindowLongPtrA(hWnd, DWLP_DLGPROC) == reinterpret_cast<LONG_PTR>(&CWnd::DialogProc)) {
    return reinterpret_cast<CWnd*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
  }
  return nullptr;
}

bool CWnd::SubclassWindow(HWND hWnd) {
  if (hWnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hWnd) != nullptr) return false;
  m_hWnd = hWnd;
  ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  m_pfnSuper = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
  return true;
}

bool CWnd::SubclassDlgItem(int nId, CWnd* pParent) {
  return pParent != nullptr && SubclassWindow(pParent->GetDlgItem(nId));
}

HWND CWnd::UnsubclassWindow() {
  HWND hWnd = m_hWnd;
  if (hWnd == nullptr || m_pfnSuper == nullptr) return nullptr;
  ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
  ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
  m_pfnSuper = nullptr;
  m_hWnd = nullptr;
  return hWnd;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam) {
  // The object comes from the window itself: no lookup outside the process (a window
  // property would cost a server round trip per message under Wine).
  CWnd* pWnd = reinterpret_cast<CWnd*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  if (pWnd == nullptr || pWnd->m_pfnSuper == nullptr) {
    return ::DefWindowProcA(hWnd, nMessage, wParam, lParam);
  }
  WNDPROC pfnSuper = pWnd->m_pfnSuper;
  LRESULT lResult = 0;
  if (!pWnd->OnWndMsg(nMessage, wParam, lParam, &lResult)) {
    lResult = ::CallWindowProcA(pfnSuper, hWnd, nMessage, wParam, lParam);
  }
  if (nMessage == WM_NCDESTROY) pWnd->UnsubclassWindow();
  return lResult;
}

int CWnd::GetDlgItemText(int nId, char* pszBuffer, int nCapacity) const {
  if (pszBuffer == nullptr || nCapacity <= 0) return 0;
  pszBuffer[0] = '\0';
  return static_cast<int>(::GetDlgItemTextA(m_hWnd, nId, pszBuffer, nCapacity));
}

std::string CWnd::GetWindowText() const {
  int nLength = ::GetWindowTextLengthA(m_hWnd);
  if (nLength <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(nLength) + 1, '\0');
  int nCopied = ::GetWindowTextA(m_hWnd, buffer.data(), static_cast<int>(buffer.size()));
  return std::string(buffer.data(), static_cast<size_t>(nCopied > 0 ? nCopied : 0));
}

void CWnd::ShowHelp(DWORD_PTR /*dwData*/, UINT /*nCmd*/) {
  // Only the contents exist (one guide), so every command opens the guide itself.
  OpenUserGuide(m_hWnd);
}

LRESULT CWnd::Default() {
  if (m_pCurrent == nullptr) return 0;
  // A reflected notification is not the control's own message: it has no default there.
  if (m_pfnSuper != nullptr && m_pCurrent->nMessage < kReflectBase) {
    m_pCurrent->lDefault = ::CallWindowProcA(m_pfnSuper, m_hWnd, m_pCurrent->nMessage,
                                             m_pCurrent->wParam, m_pCurrent->lParam);
    return m_pCurrent->lDefault;
  }
  m_pCurrent->bDefaultDeferred = true;
  return 0;
}

bool CWnd::OnChildNotify(UINT nMessage, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  return OnWndMsg(kReflectBase + nMessage, wParam, lParam, pResult);
}

bool CWnd::OnWndMsg(UINT nMessage, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  *pResult = 0;
  UINT nCode = 0;
  UINT nId = 0;
  HWND hChild = nullptr;
  if (nMessage == WM_COMMAND || nMessage == kReflectedCommand) {
    nCode = HIWORD(wParam);
    nId = LOWORD(wParam);
    hChild = reinterpret_cast<HWND>(lParam);
  } else if (nMessage == WM_NOTIFY || nMessage == kReflectedNotify) {
    const NMHDR* pHdr = reinterpret_cast<const NMHDR*>(lParam);
    if (pHdr == nullptr) return false;
    nCode = pHdr->code;
    nId = static_cast<UINT>(pHdr->idFrom);
    hChild = pHdr->hwndFrom;
  }

  // A bound child gets its own notification first; its answer is final.
  if (nMessage == WM_COMMAND || nMessage == WM_NOTIFY) {
    CWnd* pChild = FromHandlePermanent(hChild);
    if (pChild != nullptr && pChild != this &&
        pChild->OnChildNotify(nMessage, wParam, lParam, pResult)) {
      return true;
    }
  }

  const MsgMapEntry* pEntry = FindEntry(GetMessageMap(), nMessage, nCode, nId);
  if (pEntry == nullptr) {
    // Commands no window takes go to the application (its Help command).
    CWinApp* pApp = GetApp();
    return nMessage == WM_COMMAND && pApp != nullptr && pApp->OnCmdMsg(nId, nCode);
  }
  return CallHandler(*pEntry, wParam, lParam, pResult);
}

bool CWnd::CallHandler(const MsgMapEntry& entry, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  CurrentMessage current{entry.nMessage, wParam, lParam, false, 0};
  CurrentMessage* pOuter = m_pCurrent;
  m_pCurrent = &current;
  switch (entry.sig) {
    case Sig::kVoid:
      (this->*entry.pfnVoid)();
      *pResult = current.lDefault;
      break;
    case Sig::kSysCommand:
      (this->*entry.pfnSysCommand)(static_cast<UINT>(wParam), lParam);
      *pResult = current.lDefault;
      break;
    case Sig::kLResult:
      *pResult = (this->*entry.pfnLResult)();
      break;
    case Sig::kNotify:
      (this->*entry.pfnNotify)(reinterpret_cast<NMHDR*>(lParam), pResult);
      break;
  }
  m_pCurrent = pOuter;
  return !current.bDefaultDeferred;
}

}  // namespace qm::fw
