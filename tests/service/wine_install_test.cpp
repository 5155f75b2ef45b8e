// Install through the commands with the Win32 platform, against the real Service Control
// Manager and registry.

#include <gtest/gtest.h>

#include "service/service_commands.h"
#include "tests/service/wine_support.h"

namespace qm::svc::test {
namespace {

using namespace std::string_literals;

std::string ParamsKey(const std::string& strName) {
  return "SYSTEM\\CurrentControlSet\\Services\\" + strName + "\\Parameters";
}

class SvcWineInstallTest : public SvcWineCommandsTest {};

TEST_F(SvcWineInstallTest, CreatesTheServiceAndItsFourValues) {
  const std::string strAuto = UniqueName("Auto");
  const std::string strDemand = UniqueName("Demand");
  CServiceCleanup cleanup({strAuto, strDemand});
  platform.m_system.m_strModulePath = "C:\\Program Files\\Qm Tools\\quillmnt.exe";

  Fill(strAuto, "Automatic");
  form.m_fields[IDC_DEPENDENCIES] = "qmtestDepA;qmtestDepB";
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
  DWORD dwType = 0;
  EXPECT_EQ(
      ReadValue("SYSTEM\\CurrentControlSet\\Services\\" + strAuto, "DependOnService", &dwType),
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
  platform.m_system.m_strModulePath = "C:\\QmTools\\quillmnt.exe";
  Fill(strDemand, "Manual (Demand)");
  commands.OnInstall();
  const ServiceConfig demand = QueryConfig(strDemand);
  ASSERT_TRUE(demand.bFound);
  EXPECT_EQ(demand.dwStartType, static_cast<DWORD>(SERVICE_DEMAND_START));
  EXPECT_EQ(demand.strBinaryPath, "C:\\QmTools\\carrack.exe");
  EXPECT_EQ(
      ReadValue("SYSTEM\\CurrentControlSet\\Services\\" + strDemand, "DependOnService", &dwType),
      "");
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

TEST_F(SvcWineInstallTest, SecondInstallOfTheSameNameIsRefused) {
  const std::string strName = UniqueName("Twice");
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
}

TEST_F(SvcWineInstallTest, OtherLetterCaseReachesTheManagerAndShowsItsError) {
  const std::string strName = UniqueName("Case");
  CServiceCleanup cleanup({strName});
  Fill(strName, "Automatic");
  commands.OnInstall();
  ASSERT_TRUE(ServiceExists(strName));

  std::string strUpper = strName;
  for (char& ch : strUpper) ch = static_cast<char>(::toupper(static_cast<unsigned char>(ch)));
  Fill(strUpper, "Automatic");
  commands.OnInstall();
  ASSERT_EQ(messageBox.m_boxes.size(), 2u);
  const std::string strPrefix =
      "Could not create service.\n\n" + strUpper + "\n was NOT installed.\n\n";
  const std::string& strText = messageBox.m_boxes[1].strText;
  EXPECT_EQ(strText.substr(0, strPrefix.size()), strPrefix);
  EXPECT_GT(strText.size(), strPrefix.size() + 8) << "the system's text is shown";
  EXPECT_EQ(strText.substr(strText.size() - 8), " (0x431)");
  EXPECT_EQ(form.m_fields[IDC_SERVICE_NAME], strUpper);
}

TEST_F(SvcWineInstallTest, HundredCharacterNameIsCreatedWithItsFirstEighty) {
  std::string strLong = UniqueName("Long");
  strLong.resize(100, 'x');
  const std::string strCut = strLong.substr(0, 80);
  CServiceCleanup cleanup({strCut});
  Fill(strLong, "Automatic");
  commands.OnInstall();
  EXPECT_TRUE(ServiceExists(strCut));
  DWORD dwType = 0;
  EXPECT_EQ(ReadValue(ParamsKey(strCut), "Installer", &dwType), "quillmnt\0"s);
  EXPECT_EQ(messageBox.Texts(), std::vector<std::string>{strCut + "\n\nwas successfully created."});
}

TEST_F(SvcWineInstallTest, EmptyDependencyEntriesAreSkippedAndAQuotedExecutableIsRefused) {
  const std::string strName = UniqueName("Deps");
  CServiceCleanup cleanup({strName});
  Fill(strName, "Automatic");
  form.m_fields[IDC_EXECUTABLE] = "\"C:\\App\\app.exe\" -x";
  commands.OnInstall();
  EXPECT_FALSE(ServiceExists(strName));
  EXPECT_EQ(form.m_fields[IDC_SERVICE_NAME], strName);
  ASSERT_EQ(messageBox.m_boxes.size(), 1u);
  EXPECT_EQ(messageBox.m_boxes[0].strCaption, "Error");

  Fill(strName, "Automatic");
  form.m_fields[IDC_DEPENDENCIES] = ";;qmtestDepA;;qmtestDepB;";
  commands.OnInstall();
  ASSERT_TRUE(ServiceExists(strName));
  DWORD dwType = 0;
  EXPECT_EQ(
      ReadValue("SYSTEM\\CurrentControlSet\\Services\\" + strName, "DependOnService", &dwType),
      "qmtestDepA\0qmtestDepB\0\0"s);
}

}  // namespace
}  // namespace qm::svc::test
