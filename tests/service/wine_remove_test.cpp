// Remove through the commands with the Win32 platform, against the real Service Control
// Manager: questions asked, services stopped and deleted.

#include <gtest/gtest.h>

#include "common/win32_handles.h"
#include "service/service_commands.h"
#include "tests/service/wine_support.h"

namespace qm::svc::test {
namespace {

std::string Confirm(const std::string& strName) {
  return "Are you sure that you\nwant to remove " + strName + "?";
}
std::string Reconfirm(const std::string& strName) {
  return "Are you ABSOLUTELY sure that\nyou want to remove " + strName +
         "?\n\nThis service was not installed\nusing Quillmont!\n\nRemoving an essential "
         "service\ncould render the system\ninoperable!";
}
std::string Removed(const std::string& strName) {
  return strName + " was successfully removed.";
}

class SvcWineRemoveTest : public SvcWineCommandsTest {
 protected:
  void Install(const std::string& strName, const char* pszStartup) {
    Fill(strName, pszStartup);
    commands.OnInstall();
    ASSERT_TRUE(ServiceExists(strName));
    messageBox.m_boxes.clear();
  }
  void Remove(const std::string& strName, int cYes) {
    form.m_fields[IDC_SERVICE_NAME] = strName;
    for (int i = 0; i < cYes; ++i) messageBox.m_answers.push_back(IDYES);
    commands.OnRemove();
  }
};

TEST_F(SvcWineRemoveTest, OurAutomaticAndOnDemandServicesNeedOneYes) {
  const std::string strAuto = UniqueName("RmAuto");
  const std::string strDemand = UniqueName("RmDemand");
  CServiceCleanup cleanup({strAuto, strDemand});
  for (const auto& [strName, pszStartup] :
       {std::pair{strAuto, "Automatic"}, std::pair{strDemand, "Manual (Demand)"}}) {
    Install(strName, pszStartup);
    Remove(strName, 1);
    EXPECT_EQ(messageBox.Texts(), (std::vector<std::string>{Confirm(strName), Removed(strName)}));
    EXPECT_FALSE(ServiceExists(strName));
    EXPECT_EQ(form.m_fields[IDC_SERVICE_NAME], "");
    messageBox.m_boxes.clear();
  }
}

TEST_F(SvcWineRemoveTest, DisabledOrUnmarkedServicesNeedTwo) {
  const std::string strDisabled = UniqueName("RmDisabled");
  const std::string strForeign = UniqueName("RmForeign");
  CServiceCleanup cleanup({strDisabled, strForeign});
  Install(strDisabled, "Automatic");
  ASSERT_TRUE(SetStartType(strDisabled, SERVICE_DISABLED));
  ASSERT_TRUE(CreateRawService(strForeign, "C:\\App\\app.exe", SERVICE_DEMAND_START, false));

  for (const std::string& strName : {strDisabled, strForeign}) {
    // No to the second question leaves the service.
    Remove(strName, 1);
    EXPECT_EQ(messageBox.Texts(), (std::vector<std::string>{Confirm(strName), Reconfirm(strName)}));
    EXPECT_TRUE(ServiceExists(strName));
    messageBox.m_boxes.clear();

    Remove(strName, 2);
    EXPECT_EQ(messageBox.Texts(),
              (std::vector<std::string>{Confirm(strName), Reconfirm(strName), Removed(strName)}));
    EXPECT_EQ(messageBox.m_boxes[1].strCaption, "Please Reconfirm");
    EXPECT_FALSE(ServiceExists(strName));
    messageBox.m_boxes.clear();
  }
}

TEST_F(SvcWineRemoveTest, RunningServiceIsStoppedThenDeleted) {
  const std::string strName = UniqueName("RmRunning");
  CServiceCleanup cleanup({strName});
  ASSERT_TRUE(CreateRawService(strName, TestBinFolder() + "qm_test_service.exe",
                               SERVICE_DEMAND_START, true));
  ASSERT_TRUE(StartAndWaitRunning(strName));

  const DWORD dwStart = ::GetTickCount();
  Remove(strName, 1);
  EXPECT_EQ(messageBox.Texts(), (std::vector<std::string>{Confirm(strName), Removed(strName)}));
  EXPECT_GE(::GetTickCount() - dwStart, 1000u) << "one wait of a second at least";
  // Deleted once stopped: give the manager a moment to notice the process has gone.
  bool bGone = false;
  for (int i = 0; i < 50 && !bGone; ++i) {
    bGone = !ServiceExists(strName);
    if (!bGone) ::Sleep(100);
  }
  EXPECT_TRUE(bGone);
}

TEST_F(SvcWineRemoveTest, ServiceAlreadyMarkedForDeletionIsNotRemoved) {
  const std::string strName = UniqueName("RmMarked");
  CServiceCleanup cleanup({strName});
  Install(strName, "Automatic");
  // Marked for deletion, kept alive by a handle of our own.
  unique_schandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  unique_schandle service(::OpenServiceA(manager.get(), strName.c_str(), SERVICE_ALL_ACCESS));
  ASSERT_TRUE(service);
  ASSERT_TRUE(::DeleteService(service.get()));

  Remove(strName, 1);
  const std::vector<std::string> texts = messageBox.Texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.front(), Confirm(strName));
  EXPECT_EQ(texts.back(), strName + " was NOT removed.");
  EXPECT_EQ(messageBox.m_boxes.back().dwStyle, static_cast<std::uint32_t>(MB_OK | MB_ICONHAND));
  EXPECT_EQ(form.m_fields[IDC_SERVICE_NAME], strName);
}

TEST_F(SvcWineRemoveTest, UnknownOrDifferentlyCasedNameIsNoService) {
  const std::string strName = UniqueName("RmCase");
  CServiceCleanup cleanup({strName});
  Install(strName, "Automatic");
  std::string strUpper = strName;
  for (char& ch : strUpper) ch = static_cast<char>(::toupper(static_cast<unsigned char>(ch)));
  for (const std::string& strTyped : {strUpper, UniqueName("Nowhere")}) {
    Remove(strTyped, 1);
    ASSERT_EQ(messageBox.m_boxes.size(), 1u);
    EXPECT_EQ(messageBox.m_boxes[0].strText, "No service named " + strTyped + "\n is registered.");
    EXPECT_EQ(messageBox.m_boxes[0].strCaption, "No Service");
    messageBox.m_boxes.clear();
    messageBox.m_answers.clear();
  }
  EXPECT_TRUE(ServiceExists(strName));
}

TEST_F(SvcWineRemoveTest, SubkeyWithALongClassHidesNoServiceBehindIt) {
  // Enumerated before the service (the registry lists subkeys in name order), its class is
  // longer than the list's class buffer: the real registry answers ERROR_MORE_DATA there.
  const std::string strClassy = UniqueName("AClassy");
  const std::string strBehind = UniqueName("ZBehind");
  CServiceCleanup cleanup({strBehind});
  const std::string strKey = "SYSTEM\\CurrentControlSet\\Services\\" + strClassy;
  std::string strClass(2000, 'c');
  unique_hkey key;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, strClass.data(), 0,
                              KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  key.reset();
  Install(strBehind, "Automatic");
  Remove(strBehind, 1);
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, strKey.c_str());
  EXPECT_EQ(messageBox.Texts(), (std::vector<std::string>{Confirm(strBehind), Removed(strBehind)}));
  EXPECT_FALSE(ServiceExists(strBehind));
  ASSERT_NE(commands.Commands().ServiceList(), nullptr);
  EXPECT_TRUE(commands.Commands().ServiceList()->Contains(strClassy.c_str()));
}

}  // namespace
}  // namespace qm::svc::test
