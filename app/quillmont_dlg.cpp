#include "app/quillmont_dlg.h"

#include <vector>

#include "app/about_dlg.h"
#include "app/icon_position.h"
#include "framework/app.h"
#include "framework/file_dialog.h"
#include "framework/paint_dc.h"
#include "framework/res_string.h"
#include "res/resource.h"

namespace qm::app {

namespace {

constexpr fw::MsgMapEntry kEntries[] = {
    fw::OnSysCommand<&CQuillmontDlg::OnSysCommand>(),
    fw::OnMessage<&CQuillmontDlg::OnPaint>(WM_PAINT),
    fw::OnMessageResult<&CQuillmontDlg::OnQueryDragIcon>(WM_QUERYDRAGICON),
    fw::OnCommand<&CQuillmontDlg::OnInstall>(BN_CLICKED, IDC_INSTALL),
    fw::OnCommand<&CQuillmontDlg::OnRemove>(BN_CLICKED, IDC_REMOVE),
    fw::OnCommand<&CQuillmontDlg::OnHelp>(BN_CLICKED, IDC_HELP_BUTTON),
    fw::OnCommand<&CQuillmontDlg::OnBrowseExecutable>(BN_CLICKED, IDC_BROWSE_EXE),
    fw::OnCommand<&CQuillmontDlg::OnBrowseDirectory>(BN_CLICKED, IDC_BROWSE_DIR),
    fw::OnCommand<&CQuillmontDlg::UpdateButtons>(EN_CHANGE, IDC_SERVICE_NAME),
    fw::OnCommand<&CQuillmontDlg::UpdateButtons>(EN_CHANGE, IDC_DISPLAY_NAME),
    fw::OnCommand<&CQuillmontDlg::UpdateButtons>(EN_CHANGE, IDC_DEPENDENCIES),
    fw::OnCommand<&CQuillmontDlg::UpdateButtons>(EN_CHANGE, IDC_EXECUTABLE),
    fw::OnCommand<&CQuillmontDlg::UpdateButtons>(EN_CHANGE, IDC_ARGUMENTS),
    fw::OnCommand<&CQuillmontDlg::UpdateButtons>(EN_CHANGE, IDC_WORKING_DIR),
};

}  // namespace

const fw::MessageMap CQuillmontDlg::kMessageMap{&fw::CDialog::kMessageMap, kEntries};

CQuillmontDlg::CQuillmontDlg(qm::platform::ServicePlatform& platform, IMessageBox& messageBox,
                             fw::CWnd* pParent)
    : CDialog(IDD_MAIN_DIALOG, pParent),
      m_hIcon(::LoadIconA(fw::GetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_commands(platform, *this, messageBox) {}

BOOL CQuillmontDlg::OnInitDialog() {
  CDialog::OnInitDialog();  // fills the Startup list from the template's data

  HMENU hSysMenu = ::GetSystemMenu(m_hWnd, FALSE);
  if (hSysMenu != nullptr) {
    std::string strAboutMenu = fw::LoadResString(IDS_ABOUTBOX);
    if (!strAboutMenu.empty()) {
      ::AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuA(hSysMenu, MF_STRING, IDM_ABOUTBOX, strAboutMenu.c_str());
    }
  }

  SendMsg(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMsg(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  ::SendDlgItemMessageA(m_hWnd, IDC_STARTUP, CB_SETCURSEL, 0, 0);
  // No more can be typed or pasted than Install reads: a longer text would be cut unseen.
  for (int nId : {IDC_SERVICE_NAME, IDC_DISPLAY_NAME, IDC_DEPENDENCIES, IDC_EXECUTABLE,
                  IDC_ARGUMENTS, IDC_WORKING_DIR}) {
    ::SendDlgItemMessageA(m_hWnd, nId, EM_LIMITTEXT, FieldCapacity(nId) - 1, 0);
  }
  return TRUE;  // the focus goes to the first tab stop, Service Name
}

void CQuillmontDlg::ReadField(int nId, char* pszBuffer, int nCapacity) {
  if (pszBuffer == nullptr || nCapacity <= 0) return;
  pszBuffer[0] = '\0';
  if (nId != IDC_STARTUP) {
    GetDlgItemText(nId, pszBuffer, nCapacity);
    return;
  }
  // The Startup list: the selected item's text, cut to the capacity like an edit's.
  HWND hList = GetDlgItem(IDC_STARTUP);
  LRESULT nSel = ::SendMessageA(hList, CB_GETCURSEL, 0, 0);
  if (nSel == CB_ERR) return;
  LRESULT nLength = ::SendMessageA(hList, CB_GETLBTEXTLEN, nSel, 0);
  if (nLength == CB_ERR || nLength <= 0) return;
  std::vector<char> text(static_cast<size_t>(nLength) + 1, '\0');
  if (::SendMessageA(hList, CB_GETLBTEXT, nSel, reinterpret_cast<LPARAM>(text.data())) == CB_ERR) {
    return;
  }
  snprintf(pszBuffer, static_cast<size_t>(nCapacity), "%s", text.data());
}

void CQuillmontDlg::WriteField(int nId, const char* pszText) {
  SetDlgItemText(nId, pszText);
}

void CQuillmontDlg::OnSysCommand(UINT nId, LPARAM /*lParam*/) {
  // The system keeps the low four bits of a system command for itself; our own command
  // (IDM_ABOUTBOX, a multiple of 16) is recognised with them masked off.
  if ((nId & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
  } else {
    Default();
  }
}

void CQuillmontDlg::OnPaint() {
  if (!::IsIconic(m_hWnd)) {
    Default();
    return;
  }
  fw::CPaintDC dc(this);
  SendMsg(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
  int cxIcon = ::GetSystemMetrics(SM_CXICON);
  int cyIcon = ::GetSystemMetrics(SM_CYICON);
  RECT rect;
  ::GetClientRect(m_hWnd, &rect);
  IconPosition pos = CenterIcon(rect.left, rect.top, rect.right, rect.bottom, cxIcon, cyIcon);
  ::DrawIcon(dc.GetSafeHdc(), pos.x, pos.y, m_hIcon);
}

LRESULT CQuillmontDlg::OnQueryDragIcon() {
  return reinterpret_cast<LRESULT>(m_hIcon);
}

void CQuillmontDlg::OnInstall() {
  m_commands.OnInstall();
}

void CQuillmontDlg::OnRemove() {
  m_commands.OnRemove();
}

void CQuillmontDlg::OnHelp() {
  ShowHelp(0, HELP_CONTENTS);
}

void CQuillmontDlg::OnBrowseExecutable() {
  fw::CFileDialog dlgFile("exe", "*.exe", OFN_FILEMUSTEXIST,
                          "Executable Files (*.exe)|*.exe|All Files(*.*)|*.*||", this);
  if (dlgFile.DoModal() != IDOK) return;
  SetDlgItemText(IDC_EXECUTABLE, dlgFile.GetPathName().c_str());
  UpdateButtons();
}

bool CQuillmontDlg::IsFilled(int nId) const {
  // For a single-line edit, EM_LINELENGTH with -1 gives the length of the whole text,
  // whatever part of it is selected.
  return ::SendMessageA(GetDlgItem(nId), EM_LINELENGTH, static_cast<WPARAM>(-1), 0) != 0;
}

void CQuillmontDlg::UpdateButtons() {
  bool bInstall =
      IsFilled(IDC_SERVICE_NAME) && IsFilled(IDC_DISPLAY_NAME) && IsFilled(IDC_EXECUTABLE);
  ::EnableWindow(GetDlgItem(IDC_INSTALL), bInstall);

  bool bRemove = IsFilled(IDC_SERVICE_NAME) && !IsFilled(IDC_DISPLAY_NAME) &&
                 !IsFilled(IDC_DEPENDENCIES) && !IsFilled(IDC_ARGUMENTS) &&
                 !IsFilled(IDC_WORKING_DIR) && !IsFilled(IDC_EXECUTABLE);
  ::EnableWindow(GetDlgItem(IDC_REMOVE), bRemove);
}

}  // namespace qm::app
