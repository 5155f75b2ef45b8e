// The program's resources as Windows reads them: the main dialog's controls where the form
// table puts them, in tab order, with their kinds and texts; the About box; the version
// information.
#include "res/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/about_dlg.h"
#include "quillmont_version.h"
#include "tests/framework/box_presser.h"

namespace {

using qm::app::CAboutDlg;

enum class Kind { kLabel, kEdit, kList, kButton, kDefButton };

struct Control {
  int nId;
  Kind kind;
  const char* pszText;
  int x, y, w, h;
  bool bDisabled;
};

// Template order of dialog 102.
const Control kMainControls[] = {
    {-1, Kind::kLabel, "Service &Name:", 27, 17, 48, 8, false},
    {IDC_SERVICE_NAME, Kind::kEdit, "", 81, 15, 132, 14, false},
    {-1, Kind::kLabel, "&Display Name:", 29, 36, 46, 8, false},
    {IDC_DISPLAY_NAME, Kind::kEdit, "", 81, 33, 132, 14, false},
    {-1, Kind::kLabel, "&Startup:", 49, 54, 26, 8, false},
    {IDC_STARTUP, Kind::kList, nullptr, 81, 52, 132, 35, false},
    {-1, Kind::kLabel, "De&pendencies:", 27, 73, 49, 8, false},
    {IDC_DEPENDENCIES, Kind::kEdit, "", 81, 70, 132, 14, false},
    {-1, Kind::kLabel, "E&xecutable:", 37, 92, 38, 8, false},
    {IDC_EXECUTABLE, Kind::kEdit, "", 81, 89, 112, 14, false},
    {IDC_BROWSE_EXE, Kind::kButton, "...", 195, 89, 18, 14, false},
    {-1, Kind::kLabel, "&Arguments:", 39, 111, 36, 8, false},
    {IDC_ARGUMENTS, Kind::kEdit, "", 81, 108, 132, 14, false},
    {IDC_INSTALL, Kind::kDefButton, "&Install", 31, 156, 37, 14, true},
    {IDC_REMOVE, Kind::kButton, "&Remove", 77, 156, 37, 14, true},
    {IDCANCEL, Kind::kButton, "&Close", 121, 156, 37, 14, false},
    {IDC_HELP_BUTTON, Kind::kButton, "&Help", 167, 156, 37, 14, false},
    {IDC_WORKING_DIR, Kind::kEdit, "", 81, 126, 112, 14, false},
    {-1, Kind::kLabel, "&Working Directory:", 13, 129, 61, 8, false},
    {IDC_BROWSE_DIR, Kind::kButton, "...", 195, 127, 18, 14, false},
};

std::string ClassOf(HWND hWnd) {
  char szClass[64] = "";
  ::GetClassNameA(hWnd, szClass, sizeof(szClass));
  return szClass;
}

void ExpectKind(HWND hWnd, const Control& c) {
  LONG style = ::GetWindowLongA(hWnd, GWL_STYLE);
  LONG exStyle = ::GetWindowLongA(hWnd, GWL_EXSTYLE);
  switch (c.kind) {
    case Kind::kLabel:
      EXPECT_STRCASEEQ(ClassOf(hWnd).c_str(), "Static");
      EXPECT_EQ(style & SS_TYPEMASK, SS_LEFT);
      EXPECT_TRUE(style & WS_GROUP);
      break;
    case Kind::kEdit:
      EXPECT_STRCASEEQ(ClassOf(hWnd).c_str(), "Edit");
      EXPECT_TRUE(style & ES_AUTOHSCROLL);
      EXPECT_FALSE(style & ES_MULTILINE);
      EXPECT_TRUE((style & WS_BORDER) || (exStyle & WS_EX_CLIENTEDGE));
      EXPECT_TRUE(style & WS_TABSTOP);
      EXPECT_EQ(::SendMessageA(hWnd, EM_GETLIMITTEXT, 0, 0) >= 30000, true);
      break;
    case Kind::kList:
      EXPECT_STRCASEEQ(ClassOf(hWnd).c_str(), "ComboBox");
      EXPECT_EQ(style & 3, CBS_DROPDOWNLIST);
      EXPECT_TRUE(style & CBS_AUTOHSCROLL);
      EXPECT_TRUE(style & CBS_DISABLENOSCROLL);
      EXPECT_FALSE(style & CBS_SORT);
      {  // the combo box hands its scroll bar to its list
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        ASSERT_TRUE(::GetComboBoxInfo(hWnd, &info));
        EXPECT_TRUE(::GetWindowLongA(info.hwndList, GWL_STYLE) & WS_VSCROLL);
      }
      EXPECT_TRUE(style & WS_TABSTOP);
      break;
    case Kind::kButton:
    case Kind::kDefButton:
      EXPECT_STRCASEEQ(ClassOf(hWnd).c_str(), "Button");
      EXPECT_EQ(style & BS_TYPEMASK, c.kind == Kind::kDefButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      EXPECT_TRUE(style & WS_TABSTOP);
      break;
  }
  EXPECT_EQ(::IsWindowEnabled(hWnd) == FALSE, c.bDisabled);
}

// A dialog that only shows itself for inspection.
class CInspectDlg : public qm::fw::CDialog {
 public:
  explicit CInspectDlg(UINT nTemplate) : CDialog(nTemplate, nullptr) {}
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    m_inspect(m_hWnd);
    EndDialog(IDCANCEL);
    return TRUE;
  }
  std::function<void(HWND)> m_inspect;
};

TEST(MainDialogTemplate, ControlsInTemplateOrderWithPlaceKindAndText) {
  CInspectDlg dlg(IDD_MAIN_DIALOG);
  dlg.m_inspect = [](HWND hDlg) {
    LONG style = ::GetWindowLongA(hDlg, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(::GetWindowLongA(hDlg, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    RECT rcClient, rcExpected{0, 0, 227, 177};
    ::GetClientRect(hDlg, &rcClient);
    ::MapDialogRect(hDlg, &rcExpected);
    EXPECT_EQ(rcClient.right, rcExpected.right);
    EXPECT_EQ(rcClient.bottom, rcExpected.bottom);
    LOGFONTA lf{};
    ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(hDlg, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
    EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
    EXPECT_FALSE(lf.lfItalic);

    HWND hChild = ::GetWindow(hDlg, GW_CHILD);
    for (const Control& c : kMainControls) {
      ASSERT_NE(hChild, nullptr) << c.pszText;
      SCOPED_TRACE(c.nId == -1 ? std::string(c.pszText) : std::to_string(c.nId));
      EXPECT_EQ(static_cast<int>(static_cast<short>(::GetDlgCtrlID(hChild))), c.nId);
      ExpectKind(hChild, c);
      if (c.pszText != nullptr) {
        char szText[64] = "";
        ::GetWindowTextA(hChild, szText, sizeof(szText));
        EXPECT_STREQ(szText, c.pszText);
      }
      RECT rc;
      ::GetWindowRect(hChild, &rc);
      ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
      // The dialog manager converts position and size separately.
      RECT rcPos{c.x, c.y, c.w, c.h};
      ::MapDialogRect(hDlg, &rcPos);
      EXPECT_EQ(rc.left, rcPos.left);
      EXPECT_EQ(rc.top, rcPos.top);
      EXPECT_EQ(rc.right - rc.left, rcPos.right);
      if (c.kind != Kind::kList) {  // a drop-down list shows closed
        EXPECT_EQ(rc.bottom - rc.top, rcPos.bottom);
      }
      hChild = ::GetWindow(hChild, GW_HWNDNEXT);
    }
    EXPECT_EQ(hChild, nullptr);
    EXPECT_EQ(::GetDlgItem(hDlg, IDOK), nullptr);  // the form has no OK button
  };
  dlg.DoModal();
}

TEST(AboutBox, ShowsNameLegalNoticeAndAddressesAndEndsWithOk) {
  std::vector<std::string> texts;
  bool bHiddenTemplate = false;
  CInspectDlg dlg(IDD_ABOUTBOX);
  dlg.m_inspect = [&](HWND hDlg) {
    bHiddenTemplate = !::IsWindowVisible(hDlg);
    char szCaption[32] = "";
    ::GetWindowTextA(hDlg, szCaption, sizeof(szCaption));
    EXPECT_STREQ(szCaption, "About");
    for (HWND h = ::GetWindow(hDlg, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
      char szText[128] = "";
      ::GetWindowTextA(h, szText, sizeof(szText));
      texts.push_back(szText);
    }
    HWND hIcon = ::GetWindow(hDlg, GW_CHILD);
    EXPECT_EQ(::GetWindowLongA(hIcon, GWL_STYLE) & SS_TYPEMASK, SS_ICON);
    EXPECT_NE(::SendMessageA(hIcon, STM_GETICON, 0, 0), 0);
    EXPECT_TRUE(::GetWindowLongA(::GetWindow(hIcon, GW_HWNDNEXT), GWL_STYLE) & SS_NOPREFIX);
  };
  dlg.DoModal();
  EXPECT_TRUE(bHiddenTemplate);
  ASSERT_EQ(texts.size(), 7u);
  EXPECT_EQ(texts[1], QM_PRODUCT_TITLE);
  EXPECT_NE(texts[2].find("Quillmont contributors"), std::string::npos);
  EXPECT_EQ(texts[3], "OK");
  EXPECT_NE(texts[5].find('@'), std::string::npos);

  // Run as the program runs it: OK ends it.
  CAboutDlg about;
  qm::test::CBoxPresser presser("About", IDOK);
  EXPECT_EQ(about.DoModal(), IDOK);
  EXPECT_TRUE(presser.Pressed());
}

std::string VersionString(const std::vector<char>& block, const char* pszName) {
  std::string strPath = std::string("\\StringFileInfo\\040904B0\\") + pszName;
  char* pValue = nullptr;
  UINT nLength = 0;
  if (!::VerQueryValueA(block.data(), strPath.c_str(), reinterpret_cast<void**>(&pValue),
                        &nLength)) {
    return "<missing>";
  }
  return pValue;
}

TEST(VersionInformation, FixedPartAndEveryString) {
  char szExe[MAX_PATH] = "";
  ::GetModuleFileNameA(nullptr, szExe, sizeof(szExe));
  DWORD dwHandle = 0;
  DWORD nSize = ::GetFileVersionInfoSizeA(szExe, &dwHandle);
  ASSERT_GT(nSize, 0u);
  std::vector<char> block(nSize);
  ASSERT_TRUE(::GetFileVersionInfoA(szExe, 0, nSize, block.data()));

  VS_FIXEDFILEINFO* pFixed = nullptr;
  UINT nLength = 0;
  ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&pFixed), &nLength));
  // The project's one version, in the fixed part as in the strings.
  const DWORD dwMS = (QM_VERSION_MAJOR << 16) | QM_VERSION_MINOR;
  const DWORD dwLS = QM_VERSION_PATCH << 16;
  EXPECT_EQ(pFixed->dwFileVersionMS, dwMS);
  EXPECT_EQ(pFixed->dwFileVersionLS, dwLS);
  EXPECT_EQ(pFixed->dwProductVersionMS, dwMS);
  EXPECT_EQ(pFixed->dwProductVersionLS, dwLS);
  EXPECT_EQ(pFixed->dwFileOS, 4u);
  EXPECT_EQ(pFixed->dwFileType, 1u);

  EXPECT_EQ(VersionString(block, "Comments"),
            "Easily installs/removes exe's (and Java apps) as NT Services");
  EXPECT_EQ(VersionString(block, "FileDescription"), "NT Service Utility");
  EXPECT_EQ(VersionString(block, "FileVersion"), QM_VERSION_COMMAS);
  EXPECT_EQ(VersionString(block, "InternalName"), "quillmnt");
  EXPECT_EQ(VersionString(block, "OriginalFilename"), "quillmnt.exe");
  EXPECT_EQ(VersionString(block, "ProductName"), "Quillmont");
  EXPECT_EQ(VersionString(block, "ProductVersion"), QM_VERSION_STRING);
  EXPECT_EQ(VersionString(block, "CompanyName"), "Quillmont contributors");
  EXPECT_NE(VersionString(block, "LegalCopyright").find("Quillmont contributors"),
            std::string::npos);

  WORD* pTranslation = nullptr;
  ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&pTranslation), &nLength));
  EXPECT_EQ(pTranslation[0], 0x0409);
  EXPECT_EQ(pTranslation[1], 1200);
}

}  // namespace
