#pragma once
// A service of the runner, installed for one test in the Wine prefix's real Service Control
// Manager, with a scratch folder for the files its program writes. Everything is removed
// again when the test ends.

#include <windows.h>

#include <functional>
#include <string>

#include "common/win32_handles.h"
#include "platform/win32_platform.h"
#include "service/service_commands.h"
#include "tests/support/wine_test_support.h"

namespace qm::runner::test {

using namespace qm::test;  // what every test under Wine has

// How long a service may take to reach a state in a test that does not measure it.
constexpr DWORD kStateTimeoutMs = 20000;

std::string ProbePath();
std::string Quoted(const std::string& strPath);
// The process id of a probe's record file, or 0.
DWORD PidOf(const std::string& strRecordPath);
// True when the process with this id has ended (or never existed).
bool ProcessEnded(DWORD dwProcessId);

class CServiceFixture {
 public:
  explicit CServiceFixture(const std::string& strTestName);
  ~CServiceFixture();
  CServiceFixture(const CServiceFixture&) = delete;
  CServiceFixture& operator=(const CServiceFixture&) = delete;

  const std::string& Name() const { return m_strName; }
  // The scratch folder, with a trailing backslash.
  const std::string& Folder() const { return m_folder.Path(); }

  // Installs the service, started on demand, through the tool's Install command, with
  // carrack.exe beside the tests as its runner. False (with a test failure) when that fails.
  bool Install(const std::string& strRunfile, const std::string& strArguments,
               const std::string& strDirectory);
  // Installs probe.exe with strOptions, writing its record to Record() and, with bChild,
  // starting a child that records into Grandchild().
  bool InstallProbe(const std::string& strOptions, bool bChild = false,
                    const std::string& strDirectory = "");
  std::string Record() const { return Folder() + "record.txt"; }
  std::string Grandchild() const { return Folder() + "grandchild.txt"; }
  // Without bTerminated the value is stored without its closing NUL, as any program may.
  void SetStringParameter(const char* pszName, const std::string& strValue, DWORD dwType = REG_SZ,
                          bool bTerminated = true);
  void SetDwordParameter(const char* pszName, DWORD dwValue);
  void DeleteParameter(const char* pszName);

  bool Start();
  bool Stop();
  // Waits for the state, polling every dwPollMs; returns the last status seen.
  SERVICE_STATUS_PROCESS WaitForState(DWORD dwState, DWORD dwTimeoutMs, DWORD dwPollMs = 50);
  // Asks the service to stop and waits for SERVICE_STOPPED; returns the last status seen.
  SERVICE_STATUS_PROCESS StopAndWait(DWORD dwTimeoutMs = kStateTimeoutMs);
  // Starts a service that must end up stopped with dwError, never hang in START_PENDING or
  // look clean, and whose program never got to write its record.
  void ExpectStartFails(DWORD dwError);
  SERVICE_STATUS_PROCESS Query();
  SC_HANDLE Handle() const { return m_hService.get(); }

  // Keeps a handle to the job the runner holds the program in (found among the runner's
  // handles as the job that holds dwProgramId), so that the runner's own exit no longer ends
  // the job's processes: only the runner ending the job does. The fixture ends the job when
  // the test is over.
  bool HoldJob(DWORD dwProgramId);
  // Processes still running in the held job.
  DWORD ProcessesInJob();
  // Waits for SERVICE_STOPPED, polling tightly, and counts the held job's processes at the
  // moment it is seen. Returns the last status seen.
  SERVICE_STATUS_PROCESS WaitForStopped(DWORD dwTimeoutMs, DWORD* pdwLeftAtStop);

  // The tool's service commands, on the real system.
  svc::CServiceCommands& Commands() { return m_commands; }
  // Forgets the service, for a test that removed it itself.
  void Forget() { m_hService.reset(); }

 private:
  std::string m_strName;
  CScratchFolder m_folder;
  unique_schandle m_hManager;
  unique_schandle m_hService;
  unique_handle m_hJob;
  platform::CWin32ServiceManager m_scm;
  platform::CWin32Registry m_registry;
  platform::CWin32System m_system;
  platform::ServicePlatform m_platform{m_scm, m_registry, m_system};
  svc::CServiceCommands m_commands{m_platform};
};

}  // namespace qm::runner::test
