#pragma once
// The main dialog: the service form, its button rule, the system menu's About entry, the
// icon, Help, and the Install and Remove commands (run over the form, see form_commands.h).

#include <windows.h>

#include "app/form_commands.h"
#include "app/message_box.h"
#include "app/service_form.h"
#include "framework/dialog.h"
#include "platform/platform.h"

namespace qm::app {

class CQuillmontDlg : public qm::fw::CDialog, public IServiceForm {
 public:
  // The service platform and the message box come from the creator: the Win32 platform and
  // a box owned by this dialog in the program, a fake and a recording box in tests.
  CQuillmontDlg(qm::platform::ServicePlatform& platform, IMessageBox& messageBox,
                qm::fw::CWnd* pParent = nullptr);

  // No control is bound (the framework's empty data exchange stays): handlers read and write
  // their controls by id when they run.
  BOOL OnInitDialog() override;

  // The form as the service commands see it.
  void ReadField(int nId, char* pszBuffer, int nCapacity) override;
  void WriteField(int nId, const char* pszText) override;

  void OnSysCommand(UINT nId, LPARAM lParam);
  void OnPaint();
  LRESULT OnQueryDragIcon();
  void OnInstall();
  void OnRemove();
  void OnHelp();
  void OnBrowseExecutable();
  void OnBrowseDirectory();  // with the directory picker
  void UpdateButtons();

  HICON m_hIcon;
  CFormCommands m_commands;

  static const qm::fw::MessageMap kMessageMap;
  const qm::fw::MessageMap* GetMessageMap() const override { return &kMessageMap; }

 private:
  bool IsFilled(int nId) const;
};

}  // namespace qm::app
