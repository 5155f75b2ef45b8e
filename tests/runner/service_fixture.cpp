#include "tests/runner/service_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace qm::runner::test {

std::string ProbePath() {
  return TestBinFolder() + "probe.exe";
}

std::string Quoted(const std::string& strPath) {
  return "\"" + strPath + "\"";
}

DWORD PidOf(const std::string& strRecordPath) {
  std::string strPid = RecordValue(ReadFileText(strRecordPath), "pid");
  return static_cast<DWORD>(std::strtoul(strPid.c_str(), nullptr, 10));
}

bool ProcessEnded(DWORD dwProcessId) {
  unique_handle hProcess(::OpenProcess(SYNCHRONIZE, FALSE, dwProcessId));
  if (!hProcess) return true;
  return ::WaitForSingleObject(hProcess.get(), 0) == WAIT_OBJECT_0;
}

namespace {

std::string ParametersKey(const std::string& strName) {
  return "SYSTEM\\CurrentControlSet\\Services\\" + strName + "\\Parameters";
}

}  // namespace

// Unique per run, so that a service left over by a crashed run never gets in the way.
CServiceFixture::CServiceFixture(const std::string& strTestName)
    : m_strName("QmRunner" + strTestName + std::to_string(::GetCurrentProcessId())),
      m_folder("QmRunner" + strTestName) {
  m_hManager.reset(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

CServiceFixture::~CServiceFixture() {
  if (m_hService) {
    m_hService.reset();
    RemoveService(m_strName);
  }
  if (m_hJob) ::TerminateJobObject(m_hJob.get(), 1);
}

bool CServiceFixture::HoldJob(DWORD dwProgramId) {
  unique_handle hRunner(::OpenProcess(PROCESS_DUP_HANDLE, FALSE, Query().dwProcessId));
  unique_handle hProgram(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, dwProgramId));
  if (!hRunner || !hProgram) return false;
  // The runner holds few handles, all with small values.
  for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
    HANDLE hCopy = nullptr;
    if (!::DuplicateHandle(hRunner.get(), reinterpret_cast<HANDLE>(value), ::GetCurrentProcess(),
                           &hCopy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
      continue;
    }
    unique_handle hOwned(hCopy);
    BOOL bInJob = FALSE;
    if (::IsProcessInJob(hProgram.get(), hCopy, &bInJob) && bInJob) {
      m_hJob = std::move(hOwned);
      return true;
    }
  }
  return false;
}

DWORD CServiceFixture::ProcessesInJob() {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
  if (!m_hJob || !::QueryInformationJobObject(m_hJob.get(), JobObjectBasicAccountingInformation,
                                              &accounting, sizeof(accounting), nullptr)) {
    return static_cast<DWORD>(-1);
  }
  return accounting.ActiveProcesses;
}

SERVICE_STATUS_PROCESS CServiceFixture::WaitForStopped(DWORD dwTimeoutMs, DWORD* pdwLeftAtStop) {
  SERVICE_STATUS_PROCESS status = WaitForState(SERVICE_STOPPED, dwTimeoutMs, 1);
  *pdwLeftAtStop = ProcessesInJob();
  return status;
}

bool CServiceFixture::Install(const std::string& strRunfile, const std::string& strArguments,
                              const std::string& strDirectory) {
  EXPECT_TRUE(m_hManager) << "OpenSCManager failed: " << ::GetLastError();
  if (!m_hManager) return false;
  svc::InstallRequest request;
  request.strServiceName = m_strName;
  request.strDisplayName = m_strName;
  request.bAutoStart = false;
  request.strArguments = strArguments;
  request.strExecutable = strRunfile;
  request.strWorkingDirectory = strDirectory;
  const svc::CommandOutcome outcome = m_commands.Install(request);
  EXPECT_TRUE(outcome.Succeeded()) << outcome.strText;
  m_hService.reset(::OpenServiceA(m_hManager.get(), m_strName.c_str(), SERVICE_ALL_ACCESS));
  EXPECT_TRUE(m_hService) << "OpenService failed: " << ::GetLastError();
  return outcome.Succeeded() && m_hService;
}

bool CServiceFixture::InstallProbe(const std::string& strOptions, bool bChild,
                                   const std::string& strDirectory) {
  std::string strArguments = strOptions + " --record " + Quoted(Record());
  if (bChild) strArguments += " --child " + Quoted(Grandchild());
  return Install(ProbePath(), strArguments, strDirectory);
}

void CServiceFixture::SetStringParameter(const char* pszName, const std::string& strValue,
                                         DWORD dwType, bool bTerminated) {
  LSTATUS status = ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, ParametersKey(m_strName).c_str(), pszName,
                                     dwType, strValue.c_str(),
                                     static_cast<DWORD>(strValue.size() + (bTerminated ? 1 : 0)));
  EXPECT_EQ(status, ERROR_SUCCESS) << pszName;
}

void CServiceFixture::SetDwordParameter(const char* pszName, DWORD dwValue) {
  LSTATUS status = ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, ParametersKey(m_strName).c_str(), pszName,
                                     REG_DWORD, &dwValue, sizeof(dwValue));
  EXPECT_EQ(status, ERROR_SUCCESS) << pszName;
}

void CServiceFixture::DeleteParameter(const char* pszName) {
  LSTATUS status =
      ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, ParametersKey(m_strName).c_str(), pszName);
  EXPECT_EQ(status, ERROR_SUCCESS) << pszName;
}

bool CServiceFixture::Start() {
  if (::StartServiceA(m_hService.get(), 0, nullptr)) return true;
  ADD_FAILURE() << "StartService failed: " << ::GetLastError();
  return false;
}

bool CServiceFixture::Stop() {
  SERVICE_STATUS status;
  if (::ControlService(m_hService.get(), SERVICE_CONTROL_STOP, &status)) return true;
  ADD_FAILURE() << "ControlService(STOP) failed: " << ::GetLastError();
  return false;
}

SERVICE_STATUS_PROCESS CServiceFixture::Query() {
  SERVICE_STATUS_PROCESS status = {};
  DWORD dwNeeded = 0;
  ::QueryServiceStatusEx(m_hService.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                         sizeof(status), &dwNeeded);
  return status;
}

SERVICE_STATUS_PROCESS CServiceFixture::WaitForState(DWORD dwState, DWORD dwTimeoutMs,
                                                     DWORD dwPollMs) {
  ULONGLONG ullEnd = ::GetTickCount64() + dwTimeoutMs;
  SERVICE_STATUS_PROCESS status = Query();
  while (status.dwCurrentState != dwState && ::GetTickCount64() < ullEnd) {
    ::Sleep(dwPollMs);
    status = Query();
  }
  return status;
}

SERVICE_STATUS_PROCESS CServiceFixture::StopAndWait(DWORD dwTimeoutMs) {
  Stop();
  return WaitForState(SERVICE_STOPPED, dwTimeoutMs);
}

void CServiceFixture::ExpectStartFails(DWORD dwError) {
  if (!Start()) return;
  SERVICE_STATUS_PROCESS status = WaitForState(SERVICE_STOPPED, kStateTimeoutMs);
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED) << m_strName;
  EXPECT_EQ(status.dwWin32ExitCode, dwError) << m_strName;
  EXPECT_EQ(::GetFileAttributesA(Record().c_str()), INVALID_FILE_ATTRIBUTES) << m_strName;
}

}  // namespace qm::runner::test
