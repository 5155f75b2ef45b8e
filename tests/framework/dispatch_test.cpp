// Routing through the message maps: which handler a (message, code, id) reaches, what the
// dialog procedure returns, reflection to bound controls, and default processing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/framework/test_dialog.h"

namespace qm::test {
namespace {

using ::testing::ElementsAre;

// Runs the dialog with body as its initialisation; body's checks see the live window.
void RunWith(CTestDlg& dlg, std::function<void(CTestDlg&)> body) {
  dlg.m_onInit = [body](CTestDlg& d) {
    body(d);
    d.EndDialog(IDCANCEL);
  };
  ASSERT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST(MessageMapDispatch, CommandsReachTheEntryOfTheirCodeAndIdOnly) {
  CTestDlg dlg;
  RunWith(dlg, [](CTestDlg& d) {
    d.m_log.m_entries.clear();
    HWND hButton = d.GetDlgItem(IDC_TEST_BUTTON);
    HWND hEdit = d.GetDlgItem(IDC_TEST_EDIT);
    d.SendMsg(WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED), (LPARAM)hButton);
    // Same code from another control, another code from the same control: no entry.
    d.SendMsg(WM_COMMAND, MAKEWPARAM(IDC_TEST_EDIT, BN_CLICKED), (LPARAM)hEdit);
    d.SendMsg(WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_DOUBLECLICKED), (LPARAM)hButton);
    d.SendMsg(WM_COMMAND, MAKEWPARAM(IDC_TEST_EDIT, EN_CHANGE), (LPARAM)hEdit);
    d.SendMsg(kPrivateMessage);
    SendTreeNotify(d, NM_CLICK);  // no entry for this code
  });
  EXPECT_THAT(dlg.m_log.m_entries,
              ElementsAre("button clicked", "edit EN_CHANGE", "window private"));
}

TEST(MessageMapDispatch, ControlNotificationsArriveAsTheControlSendsThem) {
  // Recorded as the controls send them: one EN_CHANGE per change of the edit's text set by
  // the program, and a click of the button.
  CTestDlg dlg;
  dlg.m_bBindControls = false;
  RunWith(dlg, [](CTestDlg& d) {
    d.m_log.m_entries.clear();
    d.SetDlgItemText(IDC_TEST_EDIT, "abc");
    d.SetDlgItemText(IDC_TEST_EDIT, "");
    ::SendMessageA(d.GetDlgItem(IDC_TEST_BUTTON), BM_CLICK, 0, 0);
  });
  EXPECT_THAT(dlg.m_log.m_entries,
              ElementsAre("edit EN_CHANGE", "edit EN_CHANGE", "button clicked"));
}

TEST(MessageMapDispatch, ResultsGoThroughMsgResultExceptForDirectReturnMessages) {
  CTestDlg dlg;
  RunWith(dlg, [](CTestDlg& d) {
    // WM_NOTIFY: the handler's result travels in DWLP_MSGRESULT (a direct return gives 1).
    EXPECT_EQ(SendTreeNotify(d, NM_RETURN), 77);
    EXPECT_EQ(::GetWindowLongPtrA(d.m_hWnd, DWLP_MSGRESULT), 77);
    // The documented exceptions are returned by the dialog procedure itself.
    EXPECT_EQ(d.SendMsg(WM_QUERYDRAGICON), 0x1234);
    HWND hEdit = d.GetDlgItem(IDC_TEST_EDIT);
    EXPECT_EQ(d.SendMsg(WM_CTLCOLORSTATIC, 0, (LPARAM)hEdit),
              reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH)));
  });
}

TEST(MessageMapDispatch, BoundChildAnswersItsOwnNotificationFirst) {
  CTestDlg dlg;
  RunWith(dlg, [](CTestDlg& d) {
    d.m_log.m_entries.clear();
    // The tree takes NM_DBLCLK: its result, and the dialog's own entry is not called.
    EXPECT_EQ(SendTreeNotify(d, NM_DBLCLK), 1);
    // The tree declines NM_RETURN: the dialog's entry runs and its result counts.
    EXPECT_EQ(SendTreeNotify(d, NM_RETURN), 77);
  });
  EXPECT_THAT(dlg.m_log.m_entries,
              ElementsAre("tree NM_DBLCLK", "tree NM_RETURN declined", "dialog NM_RETURN"));
}

TEST(MessageMapDispatch, UnboundChildNotificationsGoToTheDialog) {
  CTestDlg dlg;
  dlg.m_bBindControls = false;
  RunWith(dlg, [](CTestDlg& d) {
    d.m_log.m_entries.clear();
    EXPECT_EQ(SendTreeNotify(d, NM_DBLCLK), 9);
  });
  EXPECT_THAT(dlg.m_log.m_entries, ElementsAre("dialog NM_DBLCLK"));
}

TEST(MessageMapDispatch, DefaultProcessingForUnmappedMessagesAndOnRequest) {
  CTestDlg dlg;
  std::string strCaption;
  std::string strEdit;
  RunWith(dlg, [&](CTestDlg& d) {
    // Unmapped: the dialog manager's own processing sets the caption.
    d.SendMsg(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Renamed"));
    strCaption = d.GetWindowText();
    // A bound edit's handler asks for the original procedure, which inserts the character;
    // unmapped messages (WM_SETTEXT) go there directly.
    ::SendMessageA(d.GetDlgItem(IDC_TEST_EDIT), WM_SETTEXT, 0, (LPARAM) "ab");
    ::SendMessageA(d.GetDlgItem(IDC_TEST_EDIT), EM_SETSEL, 2, 2);
    ::SendMessageA(d.GetDlgItem(IDC_TEST_EDIT), WM_CHAR, 'c', 1);
    char szText[16] = "";
    d.GetDlgItemText(IDC_TEST_EDIT, szText, sizeof(szText));
    strEdit = szText;
  });
  EXPECT_EQ(strCaption, "Renamed");
  EXPECT_EQ(strEdit, "abc");
  EXPECT_NE(std::find(dlg.m_log.m_entries.begin(), dlg.m_log.m_entries.end(), "edit WM_CHAR"),
            dlg.m_log.m_entries.end());
}

TEST(MessageMapDispatch, SysCommandHandlerCanLeaveTheCommandToDefaultProcessing) {
  CTestDlg dlg;
  dlg.m_onInit = [](CTestDlg& d) {
    d.PostMsg(WM_SYSCOMMAND, 0x0025, 0);    // the handler's own
    d.PostMsg(WM_SYSCOMMAND, SC_CLOSE, 0);  // default processing: close means Cancel
  };
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_THAT(dlg.m_log.m_entries, ElementsAre("ddx load", "syscommand own", "syscommand default"));
}

TEST(MessageMapDispatch, ControlsAreBoundOnceAndReleasedWithTheWindow) {
  CTestDlg dlg;
  HWND hTree = nullptr;
  RunWith(dlg, [&](CTestDlg& d) {
    hTree = d.GetDlgItem(IDC_TEST_TREE);
    EXPECT_EQ(d.m_tree.m_hWnd, hTree);
    EXPECT_EQ(fw::CWnd::FromHandlePermanent(hTree), &d.m_tree);
    EXPECT_EQ(fw::CWnd::FromHandlePermanent(d.m_hWnd), &d);
    // A second exchange does not bind again.
    d.UpdateData(false);
    EXPECT_EQ(d.m_tree.m_hWnd, hTree);
  });
  EXPECT_EQ(dlg.m_tree.m_hWnd, nullptr);
  EXPECT_EQ(dlg.m_hWnd, nullptr);
}

}  // namespace
}  // namespace qm::test
