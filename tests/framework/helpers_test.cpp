// String loading, the open-file dialog's arguments and the help fallback.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/app.h"
#include "framework/file_dialog.h"
#include "framework/help.h"
#include "framework/res_string.h"
#include "tests/framework/box_presser.h"
#include "tests/framework/test_dialog.h"

namespace qm::test {
namespace {

TEST(ResourceStrings, LoadsExistingAndGivesEmptyForMissing) {
  EXPECT_EQ(fw::LoadResString(IDS_TEST_STRING), "Hello, framework");
  EXPECT_EQ(fw::LoadResString(IDS_TEST_MISSING), "");
}

OPENFILENAMEA g_seen;
std::string g_strFilterSeen;
BOOL WINAPI FakeGetOpenFileName(OPENFILENAMEA* pOfn) {
  g_seen = *pOfn;
  const char* p = pOfn->lpstrFilter;
  // Copy through the double NUL that ends the list.
  while (!(p[0] == '\0' && p[1] == '\0')) g_strFilterSeen.push_back(*p++);
  g_strFilterSeen.append(2, '\0');
  snprintf(pOfn->lpstrFile, pOfn->nMaxFile, "%s", "C:\\tools\\chosen.exe");
  return TRUE;
}
BOOL WINAPI CancelGetOpenFileName(OPENFILENAMEA*) {
  return FALSE;
}

// The common dialog answered by a function of the test's.
struct CScriptedDialogs : fw::ICommonDialogs {
  BOOL(WINAPI* m_pfnRun)(OPENFILENAMEA*) = nullptr;
  BOOL RunOpenFileDialog(OPENFILENAMEA* pOfn) override { return m_pfnRun(pOfn); }
};

TEST(FileDialog, PassesArgumentsInTheCommonDialogsFormAndReturnsThePath) {
  fw::CWnd owner;
  owner.m_hWnd = ::GetDesktopWindow();
  CScriptedDialogs scripted;
  fw::ICommonDialogs* pSaved = fw::InstallCommonDialogs(&scripted);
  scripted.m_pfnRun = &FakeGetOpenFileName;
  fw::CFileDialog dlg("exe", "*.exe", OFN_FILEMUSTEXIST, "Programs (*.exe)|*.exe|All|*.*||",
                      &owner);
  INT_PTR nResult = dlg.DoModal();
  scripted.m_pfnRun = &CancelGetOpenFileName;
  fw::CFileDialog cancelled("exe", "*.exe", OFN_FILEMUSTEXIST, "A|*.a||", &owner);
  INT_PTR nCancelled = cancelled.DoModal();
  fw::InstallCommonDialogs(pSaved);
  owner.m_hWnd = nullptr;

  EXPECT_EQ(nResult, IDOK);
  EXPECT_EQ(dlg.GetPathName(), "C:\\tools\\chosen.exe");
  EXPECT_EQ(g_strFilterSeen, std::string("Programs (*.exe)\0*.exe\0All\0*.*\0\0", 32));
  EXPECT_STREQ(g_seen.lpstrDefExt, "exe");
  EXPECT_EQ(g_seen.nFilterIndex, 1u);
  EXPECT_EQ(g_seen.Flags & ~static_cast<DWORD>(OFN_EXPLORER),
            static_cast<DWORD>(OFN_FILEMUSTEXIST));
  EXPECT_EQ(g_seen.hwndOwner, ::GetDesktopWindow());
  EXPECT_EQ(g_seen.lpstrTitle, nullptr);
  EXPECT_EQ(g_seen.lpstrInitialDir, nullptr);
  EXPECT_EQ(nCancelled, IDCANCEL);
}

TEST(Help, DefaultGuideSitsBesideTheExecutable) {
  char szExe[MAX_PATH] = "";
  ::GetModuleFileNameA(nullptr, szExe, sizeof(szExe));
  std::string strExe = szExe;
  std::string strExpected = strExe.substr(0, strExe.size() - 4) + ".html";
  EXPECT_EQ(fw::DefaultHelpPath(), strExpected);
}

TEST(Help, MissingGuideIsReportedOnceWithItsPlace) {
  const char* pszPath = "C:\\nowhere\\missing-guide.html";
  CBoxPresser presser("Quillmont Help", IDOK);
  bool bOpened = fw::OpenHelpFile(nullptr, pszPath);
  ASSERT_TRUE(presser.Pressed());
  EXPECT_FALSE(bOpened);
  EXPECT_NE(presser.Text().find(pszPath), std::string::npos) << presser.Text();
}

TEST(Help, WindowHelpWithoutAGuideSaysWhereItShouldBe) {
  // The test program has no guide beside it.
  CTestDlg dlg;
  std::string strText;
  dlg.m_onInit = [&](CTestDlg& d) {
    CBoxPresser presser("Quillmont Help", IDOK);
    d.ShowHelp(0, HELP_CONTENTS);
    strText = presser.Text();
    d.EndDialog(IDCANCEL);
  };
  dlg.DoModal();
  EXPECT_NE(strText.find(fw::DefaultHelpPath()), std::string::npos) << strText;
}

// An application object that records the commands no window took.
class CRecordingApp : public fw::CWinApp {
 public:
  bool OnCmdMsg(UINT nId, UINT nCode) override {
    m_commands.push_back(nId);
    return nCode == 0 && nId == fw::kIdHelp;
  }
  std::vector<UINT> m_commands;
};

TEST(Help, F1BecomesTheApplicationsHelpCommand) {
  CRecordingApp app;
  ASSERT_EQ(fw::GetApp(), &app);
  CTestDlg dlg;
  dlg.m_onInit = [](CTestDlg& d) {
    HELPINFO info{sizeof(info), HELPINFO_WINDOW, IDC_TEST_EDIT, d.GetDlgItem(IDC_TEST_EDIT), 0,
                  {0, 0}};
    d.SendMsg(WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    // A command the dialog maps does not reach the application.
    d.SendMsg(WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED), 0);
    d.EndDialog(IDCANCEL);
  };
  dlg.DoModal();
  EXPECT_EQ(app.m_commands, std::vector<UINT>{fw::kIdHelp});
}

}  // namespace
}  // namespace qm::test
