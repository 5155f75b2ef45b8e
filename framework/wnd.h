#pragma once
// CWnd: a C++ object over one HWND, kept in the one slot the window's kind leaves to the
// application: a dialog's DWLP_USER (CDialog), a bound control's GWLP_USERDATA. A control is
// bound by subclassing (SubclassDlgItem), so its own message map sees its messages first and
// its original window procedure gets everything the map does not take.

#include <windows.h>

#include <string>

#include "framework/message_map.h"

namespace qm::fw {

class CWnd {
 public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  virtual ~CWnd();

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }

  // The object attached to hWnd (dialog or subclassed control), or null.
  static CWnd* FromHandlePermanent(HWND hWnd);

  // Puts our procedure in front of the control's; false when hWnd is null or already
  // attached to another object. The control's GWLP_USERDATA is ours while it is bound.
  bool SubclassWindow(HWND hWnd);
  bool SubclassDlgItem(int nId, CWnd* pParent);
  // Takes our procedure out again and forgets the window.
  HWND UnsubclassWindow();

  // Small conveniences over the ...A user interface calls.
  LRESULT SendMsg(UINT nMessage, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageA(m_hWnd, nMessage, wParam, lParam);
  }
  BOOL PostMsg(UINT nMessage, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageA(m_hWnd, nMessage, wParam, lParam);
  }
  HWND GetDlgItem(int nId) const { return ::GetDlgItem(m_hWnd, nId); }
  void SetDlgItemText(int nId, const char* pszText) const {
    ::SetDlgItemTextA(m_hWnd, nId, pszText);
  }
  // Copies at most nCapacity - 1 characters and a NUL; returns the characters copied.
  int GetDlgItemText(int nId, char* pszBuffer, int nCapacity) const;
  std::string GetWindowText() const;
  void SetWindowText(const char* pszText) const { ::SetWindowTextA(m_hWnd, pszText); }
  HWND GetParent() const { return ::GetParent(m_hWnd); }

  // Window help: the help engine is gone, so this opens the user guide (the application's
  // help path) in the default browser, or says where the guide should be.
  void ShowHelp(DWORD_PTR dwData, UINT nCmd);

  // The routing core: offers the message to reflection and to this class's map chain.
  // Returns true when a handler took it; *pResult then holds the result.
  bool OnWndMsg(UINT nMessage, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

  static const MessageMap kMessageMap;
  virtual const MessageMap* GetMessageMap() const { return &kMessageMap; }

 protected:
  // Called by a handler for default processing of the current message. A subclassed control
  // runs its original window procedure now and returns that result; a dialog lets the dialog
  // manager process the message once the handler has returned (and returns 0 here).
  LRESULT Default();

  // A parent offers a child's notification here first; true when the child's map took it.
  virtual bool OnChildNotify(UINT nMessage, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

  // The procedure of our dialogs (CDialog), whose DWLP_USER slot holds the object.
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam);

 private:
  struct CurrentMessage {
    UINT nMessage;
    WPARAM wParam;
    LPARAM lParam;
    bool bDefaultDeferred;
    LRESULT lDefault;
  };

  static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam);
  bool CallHandler(const MsgMapEntry& entry, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

  WNDPROC m_pfnSuper = nullptr;  // original procedure of a bound control
  CurrentMessage* m_pCurrent = nullptr;
};

}  // namespace qm::fw
