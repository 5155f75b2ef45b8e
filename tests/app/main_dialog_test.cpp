// The main dialog under Wine, in-process: its start-up state, the button rule, the
// commands through the real buttons (over a scripted service platform), the About box,
// the executable browse and closing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/quillmont_dlg.h"
#include "framework/file_dialog.h"
#include "quillmont_version.h"
#include "res/resource.h"
#include "tests/app/driven_dlg.h"
#include "tests/framework/box_presser.h"
#include "tests/platform/fake_platform.h"
#include "tests/support/recording_message_box.h"

namespace {

using qm::platform::test::CFakePlatform;
using qm::test::CBoxPresser;
using qm::test::CDrivenDlg;
using qm::test::CRecordingMessageBox;

constexpr int kEdits[] = {IDC_SERVICE_NAME, IDC_DISPLAY_NAME, IDC_DEPENDENCIES,
                          IDC_EXECUTABLE,   IDC_ARGUMENTS,    IDC_WORKING_DIR};

class MainDialog : public ::testing::Test {
 protected:
  // Runs the dialog with body; returns the modal result.
  INT_PTR Run(std::function<void(CDrivenDlg&)> body, bool bEndAfterBody = true) {
    CDrivenDlg dlg(m_fake.Platform(), m_box);
    dlg.m_body = std::move(body);
    dlg.m_bEndAfterBody = bEndAfterBody;
    return dlg.DoModal();
  }
  CFakePlatform m_fake;
  CRecordingMessageBox m_box;
};

TEST_F(MainDialog, StartsEmptyWithAutomaticSelectedAndBothButtonsDisabled) {
  std::string strMenuLast;
  UINT nMenuLastId = 0;
  UINT nSeparatorState = 0;
  INT_PTR nResult = Run([&](CDrivenDlg& d) {
    for (int nId : kEdits) EXPECT_EQ(d.Text(nId), "") << nId;
    EXPECT_EQ(d.StartupSel(), 0);
    char szItem[64] = "";
    ::GetDlgItemTextA(d.m_hWnd, IDC_STARTUP, szItem, sizeof(szItem));
    EXPECT_STREQ(szItem, "Automatic");
    EXPECT_EQ(::SendDlgItemMessageA(d.m_hWnd, IDC_STARTUP, CB_GETCOUNT, 0, 0), 2);
    ::SendDlgItemMessageA(d.m_hWnd, IDC_STARTUP, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(szItem));
    EXPECT_STREQ(szItem, "Manual (Demand)");
    EXPECT_EQ(d.Buttons(), "--");
    EXPECT_EQ(::GetFocus(), d.GetDlgItem(IDC_SERVICE_NAME));
    EXPECT_EQ(d.GetWindowText(), "Quillmont");
    EXPECT_TRUE(::GetWindowLongA(d.m_hWnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    // Icons: the program's own, big and small.
    ASSERT_NE(d.m_hIcon, nullptr);
    EXPECT_EQ(d.SendMsg(WM_GETICON, ICON_BIG), reinterpret_cast<LRESULT>(d.m_hIcon));
    EXPECT_EQ(d.SendMsg(WM_GETICON, ICON_SMALL), reinterpret_cast<LRESULT>(d.m_hIcon));
    EXPECT_EQ(d.SendMsg(WM_QUERYDRAGICON), reinterpret_cast<LRESULT>(d.m_hIcon));
    // The system menu ends with a separator and the About entry.
    HMENU hMenu = ::GetSystemMenu(d.m_hWnd, FALSE);
    int nCount = ::GetMenuItemCount(hMenu);
    ASSERT_GE(nCount, 2);
    nSeparatorState = ::GetMenuState(hMenu, nCount - 2, MF_BYPOSITION);
    nMenuLastId = ::GetMenuItemID(hMenu, nCount - 1);
    char szMenu[64] = "";
    ::GetMenuStringA(hMenu, nCount - 1, szMenu, sizeof(szMenu), MF_BYPOSITION);
    strMenuLast = szMenu;
  });
  EXPECT_EQ(nResult, IDABORT);
  EXPECT_TRUE(nSeparatorState & MF_SEPARATOR);
  EXPECT_EQ(nMenuLastId, 16u);
  EXPECT_EQ(strMenuLast, "&About...");
  EXPECT_TRUE(m_fake.m_calls.empty());  // nothing touches the services at start
}

TEST_F(MainDialog, ButtonRuleRowByRow) {
  Run([](CDrivenDlg& d) {
    auto set = [&](const char* sn, const char* dn, const char* dep, const char* exe,
                   const char* args, const char* wd) {
      d.Type(IDC_SERVICE_NAME, sn);
      d.Type(IDC_DISPLAY_NAME, dn);
      d.Type(IDC_DEPENDENCIES, dep);
      d.Type(IDC_EXECUTABLE, exe);
      d.Type(IDC_ARGUMENTS, args);
      d.Type(IDC_WORKING_DIR, wd);
      return d.Buttons();
    };
    // Service Name empty: nothing, whatever the rest holds.
    EXPECT_EQ(set("", "", "", "", "", ""), "--");
    EXPECT_EQ(set("", "D", "x", "C:\\a.exe", "y", "C:\\"), "--");
    // Name, display name, executable: Install, whatever the three others hold.
    EXPECT_EQ(set("svc", "D", "", "C:\\a.exe", "", ""), "I-");
    EXPECT_EQ(set("svc", "D", "x", "C:\\a.exe", "y", "C:\\"), "I-");
    // One of the three missing.
    EXPECT_EQ(set("svc", "D", "", "", "", ""), "--");
    EXPECT_EQ(set("svc", "", "", "C:\\a.exe", "", ""), "--");
    // Name alone: Remove; name with only one of the three others: nothing.
    EXPECT_EQ(set("svc", "", "", "", "", ""), "-R");
    EXPECT_EQ(set("svc", "", "x", "", "", ""), "--");
    EXPECT_EQ(set("svc", "", "", "", "y", ""), "--");
    EXPECT_EQ(set("svc", "", "", "", "", "C:\\"), "--");
    // Only emptiness counts: blanks are a name.
    EXPECT_EQ(set("   ", "", "", "", "", ""), "-R");
  });
}

TEST_F(MainDialog, FieldByFieldInTheFormsOrder) {
  Run([](CDrivenDlg& d) {
    d.Type(IDC_SERVICE_NAME, "svc");
    EXPECT_EQ(d.Buttons(), "-R");
    // One character in any other field takes Remove away; removing it gives it back.
    for (int nId :
         {IDC_DISPLAY_NAME, IDC_DEPENDENCIES, IDC_EXECUTABLE, IDC_ARGUMENTS, IDC_WORKING_DIR}) {
      d.Type(nId, "x");
      EXPECT_EQ(d.Buttons(), "--") << nId;
      d.Type(nId, "");
      EXPECT_EQ(d.Buttons(), "-R") << nId;
    }
    // Building up to Install and taking each of its three fields away again.
    d.Type(IDC_DISPLAY_NAME, "Display");
    EXPECT_EQ(d.Buttons(), "--");
    d.Type(IDC_EXECUTABLE, "C:\\a.exe");
    EXPECT_EQ(d.Buttons(), "I-");
    for (int nId : {IDC_SERVICE_NAME, IDC_DISPLAY_NAME, IDC_EXECUTABLE}) {
      std::string strSaved = d.Text(nId);
      d.Type(nId, "");
      EXPECT_EQ(d.Buttons(), "--") << nId;
      d.Type(nId, strSaved.c_str());
      EXPECT_EQ(d.Buttons(), "I-") << nId;
    }
  });
}

TEST_F(MainDialog, StartupListAndSelectionsPlayNoPart) {
  Run([](CDrivenDlg& d) {
    d.Type(IDC_SERVICE_NAME, "svc");
    d.SelectStartup(1);
    EXPECT_EQ(d.Buttons(), "-R");
    // The whole name selected still counts as a name when the rule runs again.
    ::SendDlgItemMessageA(d.m_hWnd, IDC_SERVICE_NAME, EM_SETSEL, 0, -1);
    d.Type(IDC_ARGUMENTS, "x");
    d.Type(IDC_ARGUMENTS, "");
    EXPECT_EQ(d.Buttons(), "-R");
    d.Type(IDC_DISPLAY_NAME, "D");
    d.Type(IDC_EXECUTABLE, "C:\\a.exe");
    d.SelectStartup(0);
    EXPECT_EQ(d.Buttons(), "I-");
  });
}

TEST_F(MainDialog, FieldsAreReadWithTheirCapacities) {
  Run([](CDrivenDlg& d) {
    std::string strLong(300, 'e');
    d.Type(IDC_EXECUTABLE, strLong.c_str());
    char szBuffer[400];
    d.ReadField(IDC_EXECUTABLE, szBuffer, 260);
    EXPECT_EQ(std::string(szBuffer), strLong.substr(0, 259));
    d.SelectStartup(1);
    d.ReadField(IDC_STARTUP, szBuffer, 81);
    EXPECT_STREQ(szBuffer, "Manual (Demand)");
    d.ReadField(IDC_STARTUP, szBuffer, 7);
    EXPECT_STREQ(szBuffer, "Manual");
    d.WriteField(IDC_ARGUMENTS, "-v");
    EXPECT_EQ(d.Text(IDC_ARGUMENTS), "-v");
  });
}

TEST_F(MainDialog, EditFieldsTakeNoMoreThanInstallReadsSoInstallStoresWhatIsShown) {
  const std::string strLong(2000, 'x');
  std::map<int, std::string> shown;
  Run([&](CDrivenDlg& d) {
    for (int nId : kEdits) {
      // Pasted, then one more character typed: both stop at the field's limit.
      ::SendDlgItemMessageA(d.m_hWnd, nId, EM_REPLACESEL, TRUE,
                            reinterpret_cast<LPARAM>(strLong.c_str()));
      ::SendMessageA(d.GetDlgItem(nId), WM_CHAR, 'y', 0);
      std::vector<char> text(4096, '\0');
      ::GetDlgItemTextA(d.m_hWnd, nId, text.data(), static_cast<int>(text.size()));
      shown[nId] = text.data();
      EXPECT_EQ(shown[nId].size(), static_cast<std::size_t>(qm::app::FieldCapacity(nId) - 1))
          << nId;
    }
    d.Click(IDC_INSTALL);
  });
  const std::string strKey =
      "SYSTEM\\CurrentControlSet\\Services\\" + shown[IDC_SERVICE_NAME] + "\\Parameters";
  const std::pair<const char*, int> values[] = {
      {"Arguments", IDC_ARGUMENTS}, {"Runfile", IDC_EXECUTABLE}, {"Directory", IDC_WORKING_DIR}};
  ASSERT_NE(m_fake.FindKey(strKey), nullptr);
  for (const auto& [pszValue, nId] : values) {
    EXPECT_EQ(m_fake.FindKey(strKey)->values[pszValue].data, shown[nId] + '\0') << pszValue;
  }
  ASSERT_NE(m_fake.FindService(shown[IDC_SERVICE_NAME]), nullptr);
  EXPECT_EQ(m_fake.FindService(shown[IDC_SERVICE_NAME])->strDisplayName, shown[IDC_DISPLAY_NAME]);
  EXPECT_EQ(m_fake.FindService(shown[IDC_SERVICE_NAME])->strDependencies,
            shown[IDC_DEPENDENCIES] + std::string(2, '\0'));
}

TEST_F(MainDialog, EnterPressesInstallWhileItIsEnabledAndDoesNothingOtherwise) {
  // What the modal loop hands the dialog manager for a key pressed in the focused field.
  auto pressEnter = [](CDrivenDlg& d) {
    MSG msg{::GetFocus(), WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    ::IsDialogMessageA(d.m_hWnd, &msg);
  };
  DWORD dwDefId = 0;
  INT_PTR nResult = Run(
      [&](CDrivenDlg& d) {
        dwDefId = static_cast<DWORD>(d.SendMsg(DM_GETDEFID));
        d.Type(IDC_SERVICE_NAME, "QmEnter");
        d.Type(IDC_DISPLAY_NAME, "Enter");
        d.Type(IDC_EXECUTABLE, "C:\\a.exe");
        ASSERT_EQ(d.Buttons(), "I-");
        pressEnter(d);
        EXPECT_EQ(d.Text(IDC_SERVICE_NAME), "");  // installed: the form is emptied
        ASSERT_EQ(d.Buttons(), "--");
        pressEnter(d);  // must neither install nor end the dialog
        d.PostMsg(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      },
      false);
  EXPECT_EQ(HIWORD(dwDefId), DC_HASDEFID);
  EXPECT_EQ(LOWORD(dwDefId), IDC_INSTALL);
  EXPECT_EQ(nResult, IDCANCEL);
  EXPECT_EQ(m_fake.CountCalls("CreateService"), 1);
  ASSERT_EQ(m_box.m_boxes.size(), 1u);
  EXPECT_EQ(m_box.m_boxes[0].strCaption, "Success");
}

TEST_F(MainDialog, InstallThroughTheButtonEmptiesTheFormAndDisablesBoth) {
  std::string strBinary;
  Run([&](CDrivenDlg& d) {
    d.Type(IDC_SERVICE_NAME, "QmDemo");
    d.Type(IDC_DISPLAY_NAME, "Quillmont demo");
    d.SelectStartup(1);
    d.Type(IDC_DEPENDENCIES, "Tcpip");
    d.Type(IDC_EXECUTABLE, "C:\\apps\\demo.exe");
    d.Type(IDC_ARGUMENTS, "-quiet");
    d.Type(IDC_WORKING_DIR, "C:\\apps");
    ASSERT_EQ(d.Buttons(), "I-");
    d.Click(IDC_INSTALL);
    for (int nId : kEdits) EXPECT_EQ(d.Text(nId), "") << nId;
    EXPECT_EQ(d.Buttons(), "--");
    EXPECT_EQ(d.StartupSel(), 1);  // the list keeps its choice
  });
  const qm::platform::test::FakeService* pService = m_fake.FindService("QmDemo");
  ASSERT_NE(pService, nullptr);
  EXPECT_EQ(pService->strDisplayName, "Quillmont demo");
  EXPECT_EQ(pService->dwStartType, qm::platform::kServiceDemandStart);
  ASSERT_EQ(m_box.m_boxes.size(), 1u);
  EXPECT_EQ(m_box.m_boxes[0].strCaption, "Success");
}

TEST_F(MainDialog, RefusedInstallLeavesTheFormAsItWas) {
  Run([](CDrivenDlg& d) {
    d.Type(IDC_SERVICE_NAME, "Two words");
    d.Type(IDC_DISPLAY_NAME, "Display");
    d.Type(IDC_EXECUTABLE, "C:\\a.exe");
    d.Click(IDC_INSTALL);
    EXPECT_EQ(d.Text(IDC_SERVICE_NAME), "Two words");
    EXPECT_EQ(d.Text(IDC_DISPLAY_NAME), "Display");
    EXPECT_EQ(d.Text(IDC_EXECUTABLE), "C:\\a.exe");
    EXPECT_EQ(d.Buttons(), "I-");
  });
  EXPECT_EQ(m_fake.FindService("Two words"), nullptr);
  ASSERT_EQ(m_box.m_boxes.size(), 1u);
  EXPECT_EQ(m_box.m_boxes[0].strCaption, "Error");
}

TEST_F(MainDialog, RemoveThroughTheButtonEmptiesServiceNameAndDisablesBoth) {
  m_fake.AddService("QmOld", qm::platform::kServiceAutoStart);
  m_fake.SetValue("SYSTEM\\CurrentControlSet\\Services\\QmOld\\Parameters", "Installer",
                  qm::platform::kRegSz, std::string("Quillmont") + '\0');
  m_box.m_answers = {IDYES,   // "Please Confirm"
                     IDYES};  // a second question, if the marker is not ours
  Run([](CDrivenDlg& d) {
    d.Type(IDC_SERVICE_NAME, "QmOld");
    ASSERT_EQ(d.Buttons(), "-R");
    d.Click(IDC_REMOVE);
    EXPECT_EQ(d.Text(IDC_SERVICE_NAME), "");
    EXPECT_EQ(d.Buttons(), "--");
  });
  ASSERT_FALSE(m_box.m_boxes.empty());
  EXPECT_EQ(m_box.m_boxes.front().strCaption, "Please Confirm");
  EXPECT_EQ(m_box.m_boxes.back().strCaption, "Success!");
}

TEST_F(MainDialog, AboutBoxOpensForEveryIdSixteenToThirtyOneAndCloses) {
  std::string strAboutText;
  Run([&](CDrivenDlg& d) {
    d.Type(IDC_SERVICE_NAME, "keep");
    for (WPARAM nCommand : {WPARAM{0x001F}, WPARAM{0x0010}, WPARAM{0x10012}}) {
      CBoxPresser presser("About", IDOK);
      d.SendMsg(WM_SYSCOMMAND, nCommand, 0);  // returns when the About box has ended
      EXPECT_TRUE(presser.Pressed()) << nCommand;
      strAboutText = presser.Text();
      EXPECT_TRUE(::IsWindowEnabled(d.m_hWnd));
    }
    EXPECT_EQ(d.Text(IDC_SERVICE_NAME), "keep");
    EXPECT_EQ(d.Buttons(), "-R");
  });
  EXPECT_NE(strAboutText.find(QM_PRODUCT_TITLE), std::string::npos) << strAboutText;
  EXPECT_NE(strAboutText.find("Quillmont contributors"), std::string::npos) << strAboutText;
}

TEST_F(MainDialog, CloseEscapeAndSystemCloseEndTheRunWhateverTheFormHolds) {
  auto fill = [](CDrivenDlg& d) {
    d.Type(IDC_SERVICE_NAME, "svc");
    d.Type(IDC_DISPLAY_NAME, "D");
  };
  EXPECT_EQ(Run(
                [&](CDrivenDlg& d) {
                  fill(d);
                  d.Click(IDCANCEL);
                },
                false),
            IDCANCEL);
  EXPECT_EQ(Run(
                [&](CDrivenDlg& d) {
                  fill(d);
                  ::PostMessageA(::GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
                },
                false),
            IDCANCEL);
  EXPECT_EQ(Run(
                [&](CDrivenDlg& d) {
                  fill(d);
                  d.PostMsg(WM_SYSCOMMAND, SC_CLOSE, 0);
                },
                false),
            IDCANCEL);
  EXPECT_TRUE(m_box.m_boxes.empty());
}

OPENFILENAMEA g_ofnSeen;
std::string g_strFilterSeen;
std::string g_strFileSeen;
BOOL WINAPI ChooseDemoExe(OPENFILENAMEA* pOfn) {
  g_ofnSeen = *pOfn;
  g_strFileSeen = pOfn->lpstrFile;
  const char* p = pOfn->lpstrFilter;
  g_strFilterSeen.clear();
  while (!(p[0] == '\0' && p[1] == '\0')) g_strFilterSeen.push_back(*p++);
  snprintf(pOfn->lpstrFile, pOfn->nMaxFile, "%s", "C:\\apps\\demo.exe");
  return TRUE;
}
BOOL WINAPI CancelChoice(OPENFILENAMEA*) {
  return FALSE;
}
struct CScriptedDialogs : qm::fw::ICommonDialogs {
  BOOL(WINAPI* m_pfnRun)(OPENFILENAMEA*) = nullptr;
  BOOL RunOpenFileDialog(OPENFILENAMEA* pOfn) override { return m_pfnRun(pOfn); }
};

TEST_F(MainDialog, BrowseExecutableAsksForAnExistingExeAndFillsTheField) {
  CScriptedDialogs scripted;
  qm::fw::ICommonDialogs* pSaved = qm::fw::InstallCommonDialogs(&scripted);
  HWND hDialog = nullptr;
  Run([&](CDrivenDlg& d) {
    hDialog = d.m_hWnd;
    d.Type(IDC_SERVICE_NAME, "svc");
    d.Type(IDC_DISPLAY_NAME, "D");
    scripted.m_pfnRun = &CancelChoice;
    d.Click(IDC_BROWSE_EXE);
    EXPECT_EQ(d.Text(IDC_EXECUTABLE), "");
    EXPECT_EQ(d.Buttons(), "--");
    scripted.m_pfnRun = &ChooseDemoExe;
    d.Click(IDC_BROWSE_EXE);
    EXPECT_EQ(d.Text(IDC_EXECUTABLE), "C:\\apps\\demo.exe");
    EXPECT_EQ(d.Buttons(), "I-");
  });
  qm::fw::InstallCommonDialogs(pSaved);
  EXPECT_EQ(g_strFileSeen, "*.exe");
  EXPECT_STREQ(g_ofnSeen.lpstrDefExt, "exe");
  using namespace std::string_literals;
  EXPECT_EQ(g_strFilterSeen, "Executable Files (*.exe)\0*.exe\0All Files(*.*)\0*.*"s);
  EXPECT_EQ(g_ofnSeen.nFilterIndex, 1u);
  DWORD dwOwnFlags = g_ofnSeen.Flags & ~static_cast<DWORD>(OFN_EXPLORER);
  EXPECT_EQ(dwOwnFlags, static_cast<DWORD>(OFN_FILEMUSTEXIST));
  EXPECT_EQ(g_ofnSeen.hwndOwner, hDialog);
  EXPECT_EQ(g_ofnSeen.lpstrTitle, nullptr);
  EXPECT_EQ(g_ofnSeen.lpstrInitialDir, nullptr);
}

TEST_F(MainDialog, HelpWithoutTheGuideSaysWhereItShouldBeAndKeepsRunning) {
  std::string strText;
  Run([&](CDrivenDlg& d) {
    CBoxPresser presser("Quillmont Help", IDOK);
    d.Click(IDC_HELP_BUTTON);
    strText = presser.Text();
    EXPECT_TRUE(::IsWindow(d.m_hWnd));
  });
  EXPECT_NE(strText.find(".html"), std::string::npos) << strText;
}

}  // namespace
