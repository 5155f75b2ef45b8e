#include "dirpicker/select_dir_dlg.h"

#include <commctrl.h>

#include "common/win32_handles.h"
#include "framework/app.h"
#include "res/resource.h"

namespace {

constexpr qm::fw::MsgMapEntry kEntries[] = {
    qm::fw::OnCommand<&CSelectDirDlg::OnSelchangeDrive>(CBN_SELCHANGE, IDC_DRIVE),
    // The tree's notice reaches the window itself when another loop dispatches it: the
    // message box the tree shows for a folder it cannot search runs its own loop.
    qm::fw::OnMessage<&CSelectDirDlg::UpdateDirName>(WM_DIRTREE_CHANGED),
};

// The common controls' bitmap loader that maps the standard colours (black, greys, white)
// to the current button colours; exported by ordinal only.
using PfnCreateMappedBitmap = HBITMAP(WINAPI*)(HINSTANCE, INT_PTR, UINT, LPCOLORMAP, int);

HBITMAP LoadMappedBitmap(HINSTANCE hInstance, int nId) {
  static const PfnCreateMappedBitmap s_pfnCreate =
      reinterpret_cast<PfnCreateMappedBitmap>(reinterpret_cast<void*>(
          ::GetProcAddress(::GetModuleHandleA("comctl32.dll"), MAKEINTRESOURCEA(8))));
  return s_pfnCreate ? s_pfnCreate(hInstance, nId, 0, nullptr, 0) : nullptr;
}

}  // namespace

const qm::fw::MessageMap CSelectDirDlg::kMessageMap{&qm::fw::CDialog::kMessageMap, kEntries};

CSelectDirDlg::CSelectDirDlg(qm::fw::CWnd* pParent) : CDialog(IDD_SELECT_DIR, pParent) {}

CSelectDirDlg::~CSelectDirDlg() {
  if (m_hImageList) ::ImageList_Destroy(m_hImageList);
}

void CSelectDirDlg::DoDataExchange(qm::fw::CDataExchange* pDX) {
  qm::fw::DDX_Control(pDX, IDC_DIR_NAME, m_editDirName);
  qm::fw::DDX_Control(pDX, IDC_DIR_TREE, m_treeDir);
  qm::fw::DDX_Control(pDX, IDC_DRIVE, m_comboDrive);
}

BOOL CSelectDirDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TREEVIEW_CLASSES};
  ::InitCommonControlsEx(&icc);
  if (m_hImageList) ::ImageList_Destroy(m_hImageList);
  m_hImageList = ::ImageList_Create(18, 15, ILC_COLOR, 4, 4);
  for (int nId : {IDB_FOLDER_CLOSED, IDB_FOLDER_CLOSED_SEL, IDB_FOLDER_OPEN, IDB_FOLDER_OPEN_SEL}) {
    HINSTANCE hInstance = qm::fw::GetResourceHandle();
    if (!::FindResourceA(hInstance, MAKEINTRESOURCEA(nId), MAKEINTRESOURCEA(2))) continue;
    qm::unique_gdiobj hBitmap(LoadMappedBitmap(hInstance, nId));
    if (hBitmap) {
      ::ImageList_AddMasked(m_hImageList, static_cast<HBITMAP>(hBitmap.get()), RGB(0, 0, 0));
    }
  }
  m_treeDir.SetImageList(m_hImageList, TVSIL_NORMAL);

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
