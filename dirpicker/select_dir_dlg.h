#pragma once
// The modal Select Directory dialog: a drive list, a directory tree and a read-only
// Directory Name that follows the tree. It opens at the process's current directory; a
// drive switch moves that directory and the move outlasts the dialog.
#include <windows.h>

#include <string>

#include "common/win32_handles.h"
#include "dirpicker/directory_tree.h"
#include "dirpicker/drive_combo.h"
#include "framework/controls.h"
#include "framework/dialog.h"

namespace qm::dirpicker {

class CSelectDirDlg : public qm::fw::CDialog {
 public:
  explicit CSelectDirDlg(qm::fw::CWnd* pParent = nullptr);

  std::string GetPath() const { return m_treeDir.GetPath(); }

  BOOL OnInitDialog() override;
  void DoDataExchange(qm::fw::CDataExchange* pDX) override;
  BOOL PreTranslateMessage(MSG* pMsg) override;

  void OnSelchangeDrive();
  void UpdateDirName();

  qm::fw::CEdit m_editDirName;
  CDirectoryTree m_treeDir;
  CDriveCombo m_comboDrive;

  static const qm::fw::MessageMap kMessageMap;
  const qm::fw::MessageMap* GetMessageMap() const override { return &kMessageMap; }

 private:
  // Made at each initialisation; the tree shows it until the dialog is gone.
  qm::unique_himagelist m_hImageList;
};

}  // namespace qm::dirpicker
