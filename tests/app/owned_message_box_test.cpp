// The service commands' message box: owned by the window its owner has when the box shows, and
// answering with the button pressed. A helper thread finds the box and presses No.

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "app/owned_message_box.h"
#include "framework/wnd.h"

namespace qm::svc::test {
namespace {

using qm::app::COwnedMessageBox;

TEST(SvcWineMessageBoxTest, OwnedByTheDialogAndAnsweredWithTheButtonPressed) {
  HWND hOwner = ::CreateWindowExA(0, "STATIC", "qmtest owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(hOwner, nullptr);
  qm::fw::CWnd owner;
  COwnedMessageBox messageBox;
  messageBox.m_pOwner = &owner;
  owner.m_hWnd = hOwner;  // the window comes after the box, as the main dialog's does

  std::atomic<HWND> hFoundOwner{nullptr};
  std::atomic<bool> bFound{false};
  std::thread presser([&] {
    for (int i = 0; i < 200; ++i) {
      if (HWND hBox = ::FindWindowA("#32770", "qmtest caption")) {
        hFoundOwner = ::GetWindow(hBox, GW_OWNER);
        bFound = true;
        ::PostMessageA(hBox, WM_COMMAND, IDNO, 0);
        return;
      }
      ::Sleep(50);
    }
  });
  const int nAnswer = messageBox.Show("qmtest text", "qmtest caption", MB_YESNO | MB_ICONQUESTION);
  owner.m_hWnd = nullptr;
  presser.join();
  EXPECT_TRUE(bFound);
  EXPECT_EQ(hFoundOwner.load(), hOwner);
  EXPECT_EQ(nAnswer, IDNO);
  ::DestroyWindow(hOwner);
}

}  // namespace
}  // namespace qm::svc::test
