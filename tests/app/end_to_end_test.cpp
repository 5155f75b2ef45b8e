// A user's whole road under Wine: install a service through the window, then remove it again,
// over the real Service Control Manager and registry, answering the message boxes as a user.
#include <gtest/gtest.h>

#include <string>

#include "app/owned_message_box.h"
#include "common/win32_handles.h"
#include "platform/win32_platform.h"
#include "res/resource.h"
#include "tests/app/driven_dlg.h"
#include "tests/framework/box_presser.h"
#include "tests/support/wine_test_support.h"

namespace {

using qm::app::COwnedMessageBox;
using qm::test::CBoxPresser;
using qm::test::CDrivenDlg;

constexpr const char* kName = "qmAppEndToEnd";

// Where the service stands: 0 when registered, else the error of opening it.
DWORD OpenError() {
  qm::unique_schandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return ::GetLastError();
  qm::unique_schandle service(::OpenServiceA(manager.get(), kName, SERVICE_ALL_ACCESS));
  return service ? 0 : ::GetLastError();
}

std::string Parameter(const char* pszValue) {
  std::uint32_t dwType = 0;
  const std::string strData = qm::test::ReadValue(
      std::string("SYSTEM\\CurrentControlSet\\Services\\") + kName + "\\Parameters", pszValue,
      &dwType);
  return dwType == REG_SZ ? strData.substr(0, strData.find('\0')) : "<missing>";
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { qm::test::RemoveService(kName); }
  void TearDown() override { qm::test::RemoveService(kName); }
};

TEST_F(EndToEnd, InstallThenRemoveThroughTheWindow) {
  COwnedMessageBox messageBox;
  qm::platform::CWin32Platform win32;
  CDrivenDlg dlg(win32.Platform(), messageBox);
  messageBox.m_pOwner = &dlg;

  std::string strInstallBox, strConfirmBox, strRemovedBox;
  bool bReconfirmAsked = true;
  dlg.m_body = [&](CDrivenDlg& d) {
    d.Type(IDC_SERVICE_NAME, kName);
    d.Type(IDC_DISPLAY_NAME, "Quillmont end to end");
    d.Type(IDC_EXECUTABLE, "C:\\windows\\system32\\notepad.exe");
    d.Type(IDC_ARGUMENTS, "/a b");
    ASSERT_EQ(d.Buttons(), "I-");
    {
      CBoxPresser success("Success", IDOK);
      d.Click(IDC_INSTALL);
      strInstallBox = success.Text();
    }
    EXPECT_EQ(OpenError(), 0u);
    EXPECT_EQ(Parameter("Runfile"), "C:\\windows\\system32\\notepad.exe");
    EXPECT_EQ(Parameter("Arguments"), "/a b");
    EXPECT_EQ(Parameter("Installer"), "quillmnt");
    EXPECT_EQ(d.Text(IDC_SERVICE_NAME), "");
    EXPECT_EQ(d.Buttons(), "--");

    d.Type(IDC_SERVICE_NAME, kName);
    ASSERT_EQ(d.Buttons(), "-R");
    {
      // Our own service, starting automatically: one question only.
      CBoxPresser confirm("Please Confirm", IDYES);
      CBoxPresser reconfirm("Please Reconfirm", IDNO, 3000);
      CBoxPresser removed("Success!", IDOK);
      d.Click(IDC_REMOVE);
      strConfirmBox = confirm.Text();
      strRemovedBox = removed.Text();
      bReconfirmAsked = reconfirm.Pressed();
    }
    EXPECT_EQ(d.Text(IDC_SERVICE_NAME), "");
    EXPECT_EQ(d.Buttons(), "--");
  };
  dlg.DoModal();

  EXPECT_NE(strInstallBox.find("was successfully created."), std::string::npos) << strInstallBox;
  EXPECT_NE(strConfirmBox.find("want to remove qmAppEndToEnd?"), std::string::npos);
  EXPECT_FALSE(bReconfirmAsked);
  EXPECT_NE(strRemovedBox.find("qmAppEndToEnd was successfully removed."), std::string::npos);
  const DWORD dwError = OpenError();
  EXPECT_TRUE(dwError == ERROR_SERVICE_DOES_NOT_EXIST || dwError == ERROR_SERVICE_MARKED_FOR_DELETE)
      << dwError;
}

}  // namespace
