#include "dirpicker/select_dir_dlg.h"

#include <commctrl.h>

#include "common/win32_handles.h"
#include "framework/app.h"
#include "res/resource.h"

namespace qm::dirpicker {

namespace {

constexpr qm::fw::MsgMapEntry kEntries[] = {
    qm::fw::OnCommand<&CSelectDirDlg::OnSelchangeDrive>(CBN_SELCHANGE, IDC_DRIVE),
    // The tree's notice reaches the window itself when another loop dispatches it: the
    // message box the tree shows for a folder it cannot search runs its own loop.
    qm::fw::OnMessage<&CSelectDirDlg::UpdateDirName>(WM_DIRTREE_CHANGED),
};

}  // namespace

const qm::fw::MessageMap CSelectDirDlg::kMessageMap{&qm::fw::CDialog::kMessageMap, kEntries};

CSelectDirDlg::CSelectDirDlg(qm::fw::CWnd* pParent) : CDialog(IDD_SELECT_DIR, pParent) {}

void CSelectDirDlg::DoDataExchange(qm::fw::CDataExchange* pDX) {
  qm::fw::DDX_Control(pDX, IDC_DIR_NAME, m_editDirName);
  qm::fw::DDX_Control(pDX, IDC_DIR_TREE, m_treeDir);
  qm::fw::DDX_Control(pDX, IDC_DRIVE, m_comboDrive);
}

BOOL CSelectDirDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  m_hImageList.reset(::ImageList_Create(18, 15, ILC_COLOR, 4, 4));
  for (int nId : {IDB_FOLDER_CLOSED, IDB_FOLDER_CLOSED_SEL, IDB_FOLDER_OPEN, IDB_FOLDER_OPEN_SEL}) {
    HINSTANCE hInstance = qm::fw::GetResourceHandle();
    if (!::FindResourceA(hInstance, MAKEINTRESOURCEA(nId), RT_BITMAP)) continue;
    // Maps the bitmaps' standard colours (black, greys, white) to the current button colours.
    qm::unique_gdiobj hBitmap(::CreateMappedBitmap(hInstance, nId, 0, nullptr, 0));
    if (hBitmap) {
      ::ImageList_AddMasked(m_hImageList.get(), static_cast<HBITMAP>(hBitmap.get()), RGB(0, 0, 0));
    }
  }
  m_treeDir.SetImageList(m_hImageList.get(), TVSIL_NORMAL);

  m_comboDrive.FillDriveList();
  m_treeDir.ShowCurrentDirectory();
  m_editDirName.SetWindowText(m_treeDir.GetPath().c_str());
  return TRUE;
}

BOOL CSelectDirDlg::PreTranslateMessage(MSG* pMsg) {
  // Posted by the tree after each double-click; recognised by its number alone.
  if (pMsg->message == WM_DIRTREE_CHANGED) {
    UpdateDirName();
    return TRUE;
  }
  return CDialog::PreTranslateMessage(pMsg);
}

void CSelectDirDlg::OnSelchangeDrive() {
  int nIndex = m_comboDrive.GetCurSel();
  if (!m_comboDrive.IsDriveReady(nIndex)) {
    m_comboDrive.SelectDrive(m_treeDir.m_chDrive);
    return;
  }
  std::string strItem = m_comboDrive.GetLBText(nIndex);
  m_treeDir.m_chDrive = strItem.empty() ? '\0' : strItem[0];
  m_treeDir.ShowCurrentDirectory();
  m_editDirName.SetWindowText(m_treeDir.GetPath().c_str());
}

void CSelectDirDlg::UpdateDirName() {
  m_editDirName.SetWindowText(m_treeDir.GetPath().c_str());
}

}  // namespace qm::dirpicker
