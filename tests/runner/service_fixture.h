#pragma once
// A service of the runner, installed for one test in the Wine prefix's real Service Control
// Manager, with a scratch folder for the files its program writes. Everything is removed
// again when the test ends.

#include <windows.h>

#include <string>

#include "common/win32_handles.h"

namespace qm::runner::test {

// The folder that holds the test executables, carrack.exe and probe.exe; with a trailing
// backslash.
std::string BinFolder();

// Reads a whole file; empty when it does not exist.
std::string ReadFileText(const std::string& strPath);
// Waits up to dwTimeoutMs for a file to exist.
bool WaitForFile(const std::string& strPath, DWORD dwTimeoutMs);
// The value of the first "key=value" line of a record, or empty.
std::string RecordValue(const std::string& strRecord, const std::string& strKey);
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

  // Creates the service with the runner as its program and fills its Parameters key with the
  // four values the tool writes. False (with a test failure) when that fails.
  bool Install(const std::string& strRunfile, const std::string& strArguments,
               const std::string& strDirectory);
  void SetStringParameter(const char* pszName, const std::string& strValue);
  void SetDwordParameter(const char* pszName, DWORD dwValue);
  void DeleteParameter(const char* pszName);

  bool Start();
  bool Stop();
  // Waits for the state; returns the last status seen.
  SERVICE_STATUS_PROCESS WaitForState(DWORD dwState, DWORD dwTimeoutMs);
  SERVICE_STATUS_PROCESS Query();

 private:
  std::string m_strName;
  std::string m_strFolder;
  unique_schandle m_hManager;
  unique_schandle m_hService;
};

}  // namespace qm::runner::test
