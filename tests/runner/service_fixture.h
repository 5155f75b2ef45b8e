#pragma once
// A service of the runner, installed for one test in the Wine prefix's real Service Control
// Manager, with a scratch folder for the files its program writes. Everything is removed
// again when the test ends.

#include <windows.h>

#include <functional>
#include <string>

#include "common/win32_handles.h"
#include "service/service_commands.h"
#include "service/win32_platform.h"

namespace qm::runner::test {

// How long a service may take to reach a state in a test that does not measure it.
constexpr DWORD kStateTimeoutMs = 20000;

// The folder that holds the test executables, carrack.exe and probe.exe; with a trailing
// backslash.
std::string BinFolder();
std::string ProbePath();
std::string Quoted(const std::string& strPath);

// Reads a whole file; empty when it does not exist. Opened sharing everything, and tried again
// for a while when another process holds it all the same, so that a file being written,
// renamed into place or replaced reads as it is rather than as empty.
std::string ReadFileText(const std::string& strPath);
// Writes a whole file; false (with a test failure) when it cannot.
bool WriteText(const std::string& strPath, const std::string& strText);
// Polls done every 50 ms until it holds or dwTimeoutMs passed; returns its last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD dwTimeoutMs);
// Waits up to dwTimeoutMs for a file to exist.
bool WaitForFile(const std::string& strPath, DWORD dwTimeoutMs);
// Waits up to dwTimeoutMs for a probe's record to be there whole (its "complete=1" line read).
bool WaitForRecord(const std::string& strPath, DWORD dwTimeoutMs);
// Waits up to dwTimeoutMs for a file to hold exactly strText.
bool WaitForText(const std::string& strPath, const std::string& strText, DWORD dwTimeoutMs);
// The value of the first "key=value" line of a record, or empty.
std::string RecordValue(const std::string& strRecord, const std::string& strKey);
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
  const std::string& Folder() const { return m_strFolder; }

  // Installs the service, started on demand, through the tool's Install command, with
  // carrack.exe beside the tests as its runner. False (with a test failure) when that fails.
  bool Install(const std::string& strRunfile, const std::string& strArguments,
               const std::string& strDirectory);
  // Installs probe.exe with strOptions, writing its record to Record() and, with bChild,
  // starting a child that records into Grandchild().
  bool InstallProbe(const std::string& strOptions, bool bChild = false,
                    const std::string& strDirectory = "");
  std::string Record() const { return m_strFolder + "record.txt"; }
  std::string Grandchild() const { return m_strFolder + "grandchild.txt"; }
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
  std::string m_strFolder;
  unique_schandle m_hManager;
  unique_schandle m_hService;
  unique_handle m_hJob;
  svc::CWin32ServiceManager m_scm;
  svc::CWin32Registry m_registry;
  svc::CWin32System m_system;
  svc::ServicePlatform m_platform{m_scm, m_registry, m_system};
  svc::CServiceCommands m_commands{m_platform};
};

}  // namespace qm::runner::test
