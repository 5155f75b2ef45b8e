// The window's Install and Remove (app/form_commands) over the Win32 platform, against the
// prefix's real Service Control Manager and registry: what the scripted platform cannot show
// (what the system stores, the start type and marker it gives back, the runner's real path,
// the manager's own errors and the registry's).

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/form_commands.h"
#include "common/win32_handles.h"
#include "platform/win32_platform.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/test_form.h"
#include "tests/support/wine_test_support.h"

namespace qm::svc::test {
namespace {

using namespace std::string_literals;
using qm::test::CreateRawService;
using qm::test::CRecordingMessageBox;
using qm::test::CServiceCleanup;
using qm::test::CTestForm;
using qm::test::ReadValue;
using qm::test::ServiceExists;
using qm::test::TestBinFolder;
using qm::test::UniqueName;

std::string ServiceKey(const std::string& strName) {
  return "SYSTEM\\CurrentControlSet\\Services\\" + strName;
}
std::string ParamsKey(const std::string& strName) {
  return ServiceKey(strName) + "\\Parameters";
}

// The real kernel services, but a module path of the test's choosing when one is set.
class CModulePathSystem : public CWin32System {
 public:
  std::uint32_t GetModuleFileName(char* buffer, std::uint32_t capacity) override {
    if (m_strModulePath.empty()) return CWin32System::GetModuleFileName(buffer, capacity);
    if (m_strModulePath.size() >= capacity) return capacity;
    std::memcpy(buffer, m_strModulePath.c_str(), m_strModulePath.size() + 1);
    return static_cast<std::uint32_t>(m_strModulePath.size());
  }
  std::string m_strModulePath;
};

struct ServiceConfig {
  bool bFound = false;
  DWORD dwType = 0;
  DWORD dwStartType = 0;
  std::string strBinaryPath;
  std::string strDisplayName;
};

ServiceConfig QueryConfig(const std::string& strName) {
  ServiceConfig config;
  unique_schandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  unique_schandle service(::OpenServiceA(manager.get(), strName.c_str(), SERVICE_QUERY_CONFIG));
  std::vector<unsigned char> block(8192);
  DWORD cbNeeded = 0;
  auto* pConfig = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(block.data());
  if (!service ||
      !::QueryServiceConfigA(service.get(), pConfig, static_cast<DWORD>(block.size()), &cbNeeded)) {
    return config;
  }
  config.bFound = true;
  config.dwType = pConfig->dwServiceType;
  config.dwStartType = pConfig->dwStartType;
  config.strBinaryPath = pConfig->lpBinaryPathName ? pConfig->lpBinaryPathName : "";
  config.strDisplayName = pConfig->lpDisplayName ? pConfig->lpDisplayName : "";
  return config;
}

bool SetStartType(const std::string& strName, DWORD dwStartType) {
  unique_schandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  unique_schandle service(::OpenServiceA(manager.get(), strName.c_str(), SERVICE_CHANGE_CONFIG));
  return service &&
         ::ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, dwStartType, SERVICE_NO_CHANGE,
                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

bool StartAndWaitRunning(const std::string& strName) {
  unique_schandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  unique_schandle service(::OpenServiceA(manager.get(), strName.c_str(), SERVICE_ALL_ACCESS));
  SERVICE_STATUS status = {};
  return service && ::StartServiceA(service.get(), 0, nullptr) &&
         qm::test::WaitUntil(
             [&] {
               return ::QueryServiceStatus(service.get(), &status) &&
                      status.dwCurrentState == SERVICE_RUNNING;
             },
             10000);
}

class SvcWineCommandsTest : public ::testing::Test {
 protected:
  // A complete form for strName: display name "Qm Test <name>", the given Startup text,
  // an executable, and the optional fields empty.
  void Fill(const std::string& strName, const char* pszStartup) {
    form.m_fields = {{IDC_SERVICE_NAME, strName}, {IDC_DISPLAY_NAME, "Qm Test " + strName},
                     {IDC_STARTUP, pszStartup},   {IDC_DEPENDENCIES, ""},
                     {IDC_ARGUMENTS, ""},         {IDC_EXECUTABLE, "C:\\App\\app.exe"},
                     {IDC_WORKING_DIR, ""}};
  }
  CModulePathSystem system;
  CWin32ServiceManager scm;
  CWin32Registry registry;
  ServicePlatform platform{scm, registry, system};
  CTestForm form;
  CRecordingMessageBox messageBox;
  app::CFormCommands commands{platform, form, messageBox};
};

class SvcWineInstallTest : public SvcWineCommandsTest {};

// Dependencies with empty entries, and a name longer than the form's field, which reads its
// first eighty characters.
TEST_F(SvcWineInstallTest, CreatesTheServiceAndItsFourValues) {
  const std::string strAuto = UniqueName("Auto");
  std::string strLong = UniqueName("Demand");
  strLong.resize(100, 'x');
  const std::string strDemand = strLong.substr(0, 80);
  CServiceCleanup cleanup({strAuto, strDemand});
  system.m_strModulePath = "C:\\Program Files\\Qm Tools\\quillmnt.exe";

  Fill(strAuto, "Automatic");
  form.m_fields[IDC_DEPENDENCIES] = ";;qmtestDepA;;qmtestDepB;";
  form.m_fields[IDC_ARGUMENTS] = "-port 80";
  form.m_fields[IDC_WORKING_DIR] = "C:\\App";
  commands.OnInstall();
  ASSERT_EQ(messageBox.Texts(),
            std::vector<std::string>{strAuto + "\n\nwas successfully created."});
  EXPECT_EQ(messageBox.m_boxes[0].strCaption, "Success");

  const ServiceConfig config = QueryConfig(strAuto);
  ASSERT_TRUE(config.bFound);
  EXPECT_EQ(config.dwType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
  EXPECT_EQ(config.dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_EQ(config.strDisplayName, "Qm Test " + strAuto);
  EXPECT_EQ(config.strBinaryPath, "\"C:\\Program Files\\Qm Tools\\carrack.exe\"");
  std::uint32_t dwType = 0;
  EXPECT_EQ(ReadValue(ServiceKey(strAuto), "DependOnService", &dwType),
            "qmtestDepA\0qmtestDepB\0\0"s);
  EXPECT_EQ(dwType, static_cast<DWORD>(REG_MULTI_SZ));

  const std::pair<const char*, std::string> values[] = {{"Installer", "quillmnt\0"s},
                                                        {"Arguments", "-port 80\0"s},
                                                        {"Runfile", "C:\\App\\app.exe\0"s},
                                                        {"Directory", "C:\\App\0"s}};
  for (const auto& [pszValue, strExpected] : values) {
    EXPECT_EQ(ReadValue(ParamsKey(strAuto), pszValue, &dwType), strExpected) << pszValue;
    EXPECT_EQ(dwType, static_cast<DWORD>(REG_SZ)) << pszValue;
  }
  EXPECT_TRUE(form.m_fields[IDC_SERVICE_NAME].empty());
  EXPECT_TRUE(form.m_fields[IDC_EXECUTABLE].empty());

  // On demand, unquoted runner path, empty fields stored as one-byte strings, no dependencies.
  system.m_strModulePath = "C:\\QmTools\\quillmnt.exe";
  Fill(strLong, "Manual (Demand)");
  commands.OnInstall();
  EXPECT_EQ(messageBox.Texts().back(), strDemand + "\n\nwas successfully created.");
  const ServiceConfig demand = QueryConfig(strDemand);
  ASSERT_TRUE(demand.bFound);
  EXPECT_EQ(demand.dwStartType, static_cast<DWORD>(SERVICE_DEMAND_START));
  EXPECT_EQ(demand.strBinaryPath, "C:\\QmTools\\carrack.exe");
  EXPECT_EQ(ReadValue(ServiceKey(strDemand), "DependOnService", &dwType), "");
  EXPECT_EQ(ReadValue(ParamsKey(strDemand), "Installer", &dwType), "quillmnt\0"s);
  EXPECT_EQ(ReadValue(ParamsKey(strDemand), "Arguments", &dwType), "\0"s);
  EXPECT_EQ(dwType, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(ReadValue(ParamsKey(strDemand), "Directory", &dwType), "\0"s);
}

TEST_F(SvcWineInstallTest, RealModulePathGivesTheRunnerBesideTheTool) {
  const std::string strName = UniqueName("Beside");
  CServiceCleanup cleanup({strName});
  Fill(strName, "Automatic");
  commands.OnInstall();
  const std::string strFolder = TestBinFolder();
  const bool bBlank = strFolder.find(' ') != std::string::npos;
  EXPECT_EQ(QueryConfig(strName).strBinaryPath,
            (bBlank ? "\"" : "") + strFolder + "carrack.exe" + (bBlank ? "\"" : ""));
}

// The same name is refused before the manager is asked; in other letters it reaches the
// manager, whose names ignore the case, and its own error is shown.
TEST_F(SvcWineInstallTest, SameNameIsRefusedAndOtherLetterCaseShowsTheManagersError) {
  const std::string strName = UniqueName("Case");
  CServiceCleanup cleanup({strName});
  Fill(strName, "Automatic");
  commands.OnInstall();
  ASSERT_TRUE(ServiceExists(strName));
  Fill(strName, "Automatic");
  commands.OnInstall();
  ASSERT_EQ(messageBox.m_boxes.size(), 2u);
  EXPECT_EQ(messageBox.m_boxes[1].strText,
            "A service named " + strName + "\n is already registered.");
  EXPECT_EQ(messageBox.m_boxes[1].strCaption, "Error");
  EXPECT_EQ(form.m_fields[IDC_SERVICE_NAME], strName);

  std::string strUpper = strName;
  for (char& ch : strUpper) ch = static_cast<char>(::toupper(static_cast<unsigned char>(ch)));
  Fill(strUpper, "Automatic");
  commands.OnInstall();
  ASSERT_EQ(messageBox.m_boxes.size(), 3u);
  const std::string strPrefix =
      "Could not create service.\n\n" + strUpper + "\n was NOT installed.\n\n";
  const std::string& strText = messageBox.m_boxes[2].strText;
  EXPECT_EQ(strText.substr(0, strPrefix.size()), strPrefix);
  EXPECT_GT(strText.size(), strPrefix.size() + 8) << "the system's text is shown";
  EXPECT_EQ(strText.substr(strText.size() - 8), " (0x431)");
  EXPECT_EQ(form.m_fields[IDC_SERVICE_NAME], strUpper);
}

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
  void Install(const std::string& strName) {
    Fill(strName, "Automatic");
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

// The start type and the marker as the real system gives them back decide the questions: our
// own service starting automatically is asked about once, a disabled one or another
// installer's twice.
TEST_F(SvcWineRemoveTest, OursIsAskedOnceDisabledOrForeignTwice) {
  const std::string strAuto = UniqueName("RmAuto");
  const std::string strDisabled = UniqueName("RmDisabled");
  const std::string strForeign = UniqueName("RmForeign");
  CServiceCleanup cleanup({strAuto, strDisabled, strForeign});
  Install(strAuto);
  Install(strDisabled);
  ASSERT_TRUE(SetStartType(strDisabled, SERVICE_DISABLED));
  ASSERT_TRUE(CreateRawService(strForeign, "C:\\App\\app.exe", SERVICE_DEMAND_START, false));

  for (const auto& [strName, cQuestions] :
       {std::pair{strAuto, 1}, std::pair{strDisabled, 2}, std::pair{strForeign, 2}}) {
    Remove(strName, cQuestions);
    std::vector<std::string> expected = {Confirm(strName)};
    if (cQuestions == 2) expected.push_back(Reconfirm(strName));
    expected.push_back(Removed(strName));
    EXPECT_EQ(messageBox.Texts(), expected);
    EXPECT_FALSE(ServiceExists(strName));
    EXPECT_EQ(form.m_fields[IDC_SERVICE_NAME], "");
    messageBox.m_boxes.clear();
  }
}

TEST_F(SvcWineRemoveTest, RunningServiceIsStoppedThenDeleted) {
  const std::string strName = UniqueName("RmRunning");
  CServiceCleanup cleanup({strName});
  ASSERT_TRUE(CreateRawService(strName, TestBinFolder() + "qm_test_service.exe",
                               SERVICE_DEMAND_START, true));
  ASSERT_TRUE(StartAndWaitRunning(strName));

  Remove(strName, 1);
  EXPECT_EQ(messageBox.Texts(), (std::vector<std::string>{Confirm(strName), Removed(strName)}));
  // Deleted once stopped: give the manager a moment to notice the process has gone.
  EXPECT_TRUE(qm::test::WaitUntil([&] { return !ServiceExists(strName); }, 5000));
}

TEST_F(SvcWineRemoveTest, ServiceAlreadyMarkedForDeletionIsNotRemoved) {
  const std::string strName = UniqueName("RmMarked");
  CServiceCleanup cleanup({strName});
  Install(strName);
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

TEST_F(SvcWineRemoveTest, SubkeyWithALongClassHidesNoServiceBehindIt) {
  // Enumerated before the service (the registry lists subkeys in name order), its class is
  // longer than the list's class buffer: the real registry answers ERROR_MORE_DATA there.
  const std::string strClassy = UniqueName("AClassy");
  const std::string strBehind = UniqueName("ZBehind");
  CServiceCleanup cleanup({strBehind});
  std::string strClass(2000, 'c');
  unique_hkey key;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, ServiceKey(strClassy).c_str(), 0, strClass.data(),
                              0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  key.reset();
  Install(strBehind);
  Remove(strBehind, 1);
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, ServiceKey(strClassy).c_str());
  EXPECT_EQ(messageBox.Texts(), (std::vector<std::string>{Confirm(strBehind), Removed(strBehind)}));
  EXPECT_FALSE(ServiceExists(strBehind));
  ASSERT_NE(commands.Commands().ServiceList(), nullptr);
  EXPECT_TRUE(commands.Commands().ServiceList()->Contains(strClassy.c_str()));
}

}  // namespace
}  // namespace qm::svc::test
