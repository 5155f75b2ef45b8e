#pragma once
// What the end-to-end tests need around the real Win32 platform: an injectable module path,
// and direct access to the service database for set-up, checks and clean-up.

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/form_commands.h"
#include "service/win32_platform.h"
#include "tests/app/recording_message_box.h"
#include "tests/app/test_form.h"

namespace qm::svc::test {

using qm::test::CRecordingMessageBox;
using qm::test::CTestForm;

// The real kernel services, but a module path of the test's choosing when one is set.
class CModulePathSystem : public CWin32System {
 public:
  std::uint32_t GetModuleFileName(char* buffer, std::uint32_t capacity) override;
  std::string m_strModulePath;
};

class CWineTestPlatform {
 public:
  ServicePlatform& Platform() { return m_platform; }
  CModulePathSystem m_system;

 private:
  CWin32ServiceManager m_scm;
  CWin32Registry m_registry;
  ServicePlatform m_platform{m_scm, m_registry, m_system};
};

// A service name unique to this run: "qmtest", the process id, the tag.
std::string UniqueName(const std::string& strTag);

struct ServiceConfig {
  bool bFound = false;
  DWORD dwType = 0;
  DWORD dwStartType = 0;
  std::string strBinaryPath;
  std::string strDisplayName;
  std::string strStartName;
};
ServiceConfig QueryConfig(const std::string& strName);
bool ServiceExists(const std::string& strName);
// Raw bytes and type of a value under HKEY_LOCAL_MACHINE; type 0 when it cannot be read.
std::string ReadValue(const std::string& strKey, const std::string& strValue, DWORD* pdwType);
// Creates a service directly, optionally marked as ours, optionally started.
bool CreateRawService(const std::string& strName, const std::string& strBinary, DWORD dwStartType,
                      bool bOurMarker);
bool StartAndWaitRunning(const std::string& strName);
bool SetStartType(const std::string& strName, DWORD dwStartType);
// The folder that holds the test executables, with its closing backslash.
std::string TestBinFolder();

// Removes the named services (stopping them first) when the scope ends.
class CServiceCleanup {
 public:
  explicit CServiceCleanup(std::vector<std::string> names) : m_names(std::move(names)) {}
  ~CServiceCleanup();
  CServiceCleanup(const CServiceCleanup&) = delete;
  CServiceCleanup& operator=(const CServiceCleanup&) = delete;

 private:
  std::vector<std::string> m_names;
};
void StopAndDelete(const std::string& strName);

// The window's commands over the Win32 platform, a form of plain strings and a recording box.
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
  CWineTestPlatform platform;
  CTestForm form;
  CRecordingMessageBox messageBox;
  app::CFormCommands commands{platform.Platform(), form, messageBox};
};

}  // namespace qm::svc::test
