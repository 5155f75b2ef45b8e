#pragma once
// Modal dialogs from resource templates, run by a modal loop of our own so that every
// queued message passes the dialog's PreTranslateMessage pre-filter before the dialog
// manager sees it.

#include <windows.h>

#include "framework/wnd.h"

namespace qm::fw {

class CDialog;

// Control binding only: the dialog's data exchange attaches controls to objects.
struct CDataExchange {
  CDialog* m_pDlgWnd;
  // false when the dialog starts, true on OK; binding is the same both ways, a dialog's own
  // exchange may tell them apart.
  bool m_bSaveAndValidate;
};

// Binds control nId of the dialog to rControl (subclassing it) the first time it runs.
void DDX_Control(CDataExchange* pDX, int nId, CWnd& rControl);

class CDialog : public CWnd {
 public:
  CDialog(UINT nIdTemplate, CWnd* pParentWnd);
  ~CDialog() override;

  // Creates the dialog, disables its owner, runs the modal loop until EndDialog and
  // destroys the window. Returns the EndDialog result, or -1 when the dialog could not be
  // created.
  virtual INT_PTR DoModal();
  void EndDialog(int nResult);

  // Pre-filter of the modal loop: true means the message was handled and goes no further.
  virtual BOOL PreTranslateMessage(MSG* pMsg);

  // Default initialisation: the template's initialisation data (list and combo strings),
  // then the first data exchange. True lets the dialog manager set the focus.
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(CDataExchange* /*pDX*/) {}
  // Runs DoDataExchange; binding cannot fail, so there is no result.
  void UpdateData(bool bSaveAndValidate = true);

  // Default OK runs the data exchange and ends with IDOK; default Cancel ends with IDCANCEL.
  virtual void OnOK();
  virtual void OnCancel();

  UINT m_nIdTemplate;
  CWnd* m_pParentWnd;

  // F1 (WM_HELP): straight to the application's Help command.
  void OnHelpInfo();

  static const MessageMap kMessageMap;
  const MessageMap* GetMessageMap() const override { return &kMessageMap; }

 private:
  friend class CWnd;  // its DialogProc runs HandleMessage
  INT_PTR HandleMessage(UINT nMessage, WPARAM wParam, LPARAM lParam);
  HWND FindOwner() const;
  void ExecuteDlgInit();

  bool m_bInModal = false;
  int m_nModalResult = -1;
};

}  // namespace qm::fw
