// The modal loop: the pre-filter, results, the owner's state, nesting, default OK/Cancel and
// the dialog's initialisation data.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/framework/test_dialog.h"

namespace qm::test {
namespace {

using ::testing::ElementsAre;

// A plain top-level window to own the dialogs; notes whether it was enabled each time it
// became the active window.
class COwner : public fw::CWnd {
 public:
  COwner() {
    m_hWnd = ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                               nullptr, nullptr, nullptr);
    s_pfnStatic = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  }
  ~COwner() override {
    ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
  }
  static inline std::vector<bool> s_vecEnabledWhenActivated;

 private:
  static LRESULT CALLBACK Proc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam) {
    if (nMessage == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
      s_vecEnabledWhenActivated.push_back(::IsWindowEnabled(hWnd) != FALSE);
    }
    return ::CallWindowProcA(s_pfnStatic, hWnd, nMessage, wParam, lParam);
  }
  static inline WNDPROC s_pfnStatic = nullptr;
};

TEST(ModalLoop, PreFilterSeesPostedMessagesBeforeDispatch) {
  CTestDlg dlg;
  dlg.m_onInit = [](CTestDlg& d) {
    // Taken by the pre-filter: never reaches the window's own map entry.
    d.PostMsg(kPrivateMessage);
    ::PostThreadMessageA(::GetCurrentThreadId(), kPrivateMessage, 0, 0);
    // Not taken: dispatched to the map.
    d.PostMsg(WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED),
              (LPARAM)d.GetDlgItem(IDC_TEST_BUTTON));
    d.PostMsg(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  };
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_THAT(dlg.m_log.m_entries, ElementsAre("ddx load", "prefilter private",
                                               "prefilter thread message", "button clicked"));
  // Sent messages bypass the queue and so the pre-filter.
  CTestDlg sent;
  sent.m_onInit = [](CTestDlg& d) {
    d.SendMsg(kPrivateMessage);
    d.EndDialog(3);
  };
  EXPECT_EQ(sent.DoModal(), 3);
  EXPECT_THAT(sent.m_log.m_entries, ElementsAre("ddx load", "window private"));
}

TEST(ModalLoop, OwnerDisabledWhileRunningAndEnabledAfter) {
  COwner owner;
  ASSERT_NE(owner.m_hWnd, nullptr);
  CTestDlg dlg(&owner);
  bool bOwnerEnabledDuring = true;
  HWND hOwnerSeen = nullptr;
  dlg.m_onInit = [&](CTestDlg& d) {
    bOwnerEnabledDuring = ::IsWindowEnabled(owner.m_hWnd) != FALSE;
    hOwnerSeen = ::GetWindow(d.m_hWnd, GW_OWNER);
    d.PostMsg(WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED), 0);
  };
  dlg.m_onButton = [](CTestDlg& d) { d.EndDialog(42); };
  ::SetActiveWindow(owner.m_hWnd);
  COwner::s_vecEnabledWhenActivated.clear();
  EXPECT_EQ(dlg.DoModal(), 42);
  EXPECT_FALSE(bOwnerEnabledDuring);
  EXPECT_EQ(hOwnerSeen, owner.m_hWnd);
  EXPECT_TRUE(::IsWindowEnabled(owner.m_hWnd));
  // Enabled again before the dialog went, so that activation came back to it.
  EXPECT_EQ(::GetActiveWindow(), owner.m_hWnd);
  EXPECT_THAT(COwner::s_vecEnabledWhenActivated, ElementsAre(true));
  EXPECT_EQ(dlg.m_hWnd, nullptr);

  // An owner that was disabled before stays disabled.
  ::EnableWindow(owner.m_hWnd, FALSE);
  CTestDlg second(&owner);
  second.m_onInit = [](CTestDlg& d) { d.EndDialog(IDOK); };
  EXPECT_EQ(second.DoModal(), IDOK);
  EXPECT_FALSE(::IsWindowEnabled(owner.m_hWnd));
}

TEST(ModalLoop, NestedDialogReturnsToTheOuterRun) {
  CTestDlg outer;
  INT_PTR nInner = 0;
  bool bOuterEnabledDuringInner = true;
  bool bOuterEnabledAfterInner = false;
  HWND hActiveAfterInner = nullptr;
  HWND hOuter = nullptr;
  outer.m_onInit = [&](CTestDlg& d) {
    hOuter = d.m_hWnd;
    d.PostMsg(WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED), 0);
  };
  outer.m_onButton = [&](CTestDlg& d) {
    CTestDlg inner(&d, IDD_TEST_PLAIN);
    inner.m_bBindControls = false;
    inner.m_onInit = [&](CTestDlg& i) {
      bOuterEnabledDuringInner = ::IsWindowEnabled(d.m_hWnd) != FALSE;
      i.PostMsg(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    };
    nInner = inner.DoModal();
    bOuterEnabledAfterInner = ::IsWindowEnabled(d.m_hWnd) != FALSE;
    hActiveAfterInner = ::GetActiveWindow();
    d.PostMsg(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  };
  EXPECT_EQ(outer.DoModal(), IDOK);
  EXPECT_EQ(nInner, IDOK);
  EXPECT_FALSE(bOuterEnabledDuringInner);
  EXPECT_TRUE(bOuterEnabledAfterInner);
  EXPECT_EQ(hActiveAfterInner, hOuter);
}

CTestDlg* g_pTimedDialog = nullptr;
constexpr int kTimedOut = 99;
void CALLBACK EndTimedDialog(HWND, UINT, UINT_PTR, DWORD) {
  if (g_pTimedDialog != nullptr) g_pTimedDialog->EndDialog(kTimedOut);
}

TEST(ModalLoop, QuitInANestedDialogEndsBothRunsAndStaysQueuedForTheProgram) {
  CTestDlg outer;
  INT_PTR nInner = 0;
  outer.m_onInit = [](CTestDlg& d) {
    d.PostMsg(WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED), 0);
  };
  outer.m_onButton = [&](CTestDlg& d) {
    CTestDlg inner(&d, IDD_TEST_PLAIN);
    inner.m_bBindControls = false;
    inner.m_onInit = [](CTestDlg&) { ::PostQuitMessage(7); };
    nInner = inner.DoModal();
  };
  // Were the quit swallowed by the inner run, the outer one would wait for ever.
  g_pTimedDialog = &outer;
  const UINT_PTR nTimer = ::SetTimer(nullptr, 0, 5000, &EndTimedDialog);
  const INT_PTR nOuter = outer.DoModal();
  ::KillTimer(nullptr, nTimer);
  g_pTimedDialog = nullptr;
  MSG msg{};
  const bool bQuitQueued = ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
  EXPECT_EQ(nInner, -1);
  EXPECT_EQ(nOuter, -1);
  EXPECT_TRUE(bQuitQueued);
  EXPECT_EQ(msg.wParam, 7u);
}

TEST(ModalLoop, DefaultOkExchangesDataAndCancelDoesNot) {
  CTestDlg ok;
  ok.m_onInit = [](CTestDlg& d) { d.PostMsg(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); };
  EXPECT_EQ(ok.DoModal(), IDOK);
  EXPECT_THAT(ok.m_log.m_entries, ElementsAre("ddx load", "ddx save"));

  CTestDlg cancel;
  // Escape on a control: the dialog manager (IsDialogMessage) turns it into IDCANCEL.
  cancel.m_onInit = [](CTestDlg& d) {
    ::PostMessageA(d.GetDlgItem(IDC_TEST_BUTTON), WM_KEYDOWN, VK_ESCAPE, 0);
  };
  EXPECT_EQ(cancel.DoModal(), IDCANCEL);
  EXPECT_THAT(cancel.m_log.m_entries, ElementsAre("ddx load"));
}

TEST(ModalLoop, HiddenTemplateIsShownAndMissingTemplateFails) {
  // Checked from the loop: by then the window must be visible.
  struct CCheck : CTestDlg {
    using CTestDlg::CTestDlg;
    bool m_bVisible = false;
    BOOL PreTranslateMessage(MSG* pMsg) override {
      if (pMsg->message == kPrivateMessage + 1) m_bVisible = ::IsWindowVisible(m_hWnd) != FALSE;
      return CTestDlg::PreTranslateMessage(pMsg);
    }
  };
  CCheck check(nullptr, IDD_TEST_PLAIN);
  check.m_bBindControls = false;
  check.m_onInit = [](CTestDlg& d) {
    d.PostMsg(kPrivateMessage + 1);
    d.PostMsg(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  };
  EXPECT_EQ(check.DoModal(), IDOK);
  EXPECT_TRUE(check.m_bVisible);

  CTestDlg missing(nullptr, 4321);
  EXPECT_EQ(missing.DoModal(), -1);
}

std::vector<std::string> ComboItemsAtInit(UINT nTemplate) {
  CTestDlg dlg(nullptr, nTemplate);
  dlg.m_bBindControls = false;
  std::vector<std::string> items;
  dlg.m_onInit = [&](CTestDlg& d) {
    fw::CComboBox combo;
    combo.m_hWnd = d.GetDlgItem(IDC_TEST_COMBO);
    for (int i = 0; i < combo.GetCount(); ++i) items.push_back(combo.GetLBText(i));
    combo.m_hWnd = nullptr;
    d.EndDialog(IDCANCEL);
  };
  dlg.DoModal();
  return items;
}

TEST(ModalLoop, InitialisationDataFillsTheComboBeforeOnInitDialog) {
  EXPECT_THAT(ComboItemsAtInit(IDD_TEST_DIALOG), ElementsAre("First", "Second"));
  // Damaged data: nothing is read past a text's record or the resource's end.
  EXPECT_THAT(ComboItemsAtInit(IDD_TEST_DAMAGED), ElementsAre("One"));
}

}  // namespace
}  // namespace qm::test
