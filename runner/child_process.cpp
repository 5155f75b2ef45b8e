#include "runner/child_process.h"

#include "runner/core/command_line.h"

namespace qm::runner {

namespace {

unique_hfile OpenNul(DWORD dwAccess, SECURITY_ATTRIBUTES* pInherit) {
  return unique_hfile(::CreateFileA("NUL", dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, pInherit,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool Fail(StartFailure& failure, std::string strStep) {
  failure.dwError = ::GetLastError();
  failure.strStep = std::move(strStep);
  return false;
}

}  // namespace

void CChildProcess::SetLaunchOptions(std::string strEnvironmentBlock, DWORD dwPriorityClass) {
  m_strEnvironmentBlock = std::move(strEnvironmentBlock);
  m_dwPriorityClass = dwPriorityClass;
}

bool CChildProcess::Start(const RunParameters& params, const ChildOutput& output,
                          StartFailure& failure) {
  m_hJob.reset(::CreateJobObjectA(nullptr, nullptr));
  if (!m_hJob) return Fail(failure, "creating the job object");
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!::SetInformationJobObject(m_hJob.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof(limits))) {
    return Fail(failure, "setting up the job object");
  }

  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  unique_hfile hStdin = OpenNul(GENERIC_READ, &inherit);
  if (!hStdin) return Fail(failure, "opening NUL for standard input");
  // Output the runner does not capture is discarded.
  unique_hfile hNulOut;
  if (!output.hStdout || !output.hStderr) {
    hNulOut = OpenNul(GENERIC_WRITE, &inherit);
    if (!hNulOut) return Fail(failure, "opening NUL for the program's output");
  }

  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  // The runner's own desktop, named rather than inherited: the runner joins it only when it
  // needs the program's windows, and until then an inherited desktop may not be the same one.
  STARTUPINFOA own = {};
  own.cb = sizeof(own);
  ::GetStartupInfoA(&own);
  startup.lpDesktop = own.lpDesktop;
  startup.hStdInput = hStdin.get();
  startup.hStdOutput = output.hStdout ? output.hStdout : hNulOut.get();
  startup.hStdError = output.hStderr ? output.hStderr : hNulOut.get();

  std::string strCommandLine = ComposeCommandLine(params.strRunfile, params.strArguments);
  std::string strDirectory = ChooseWorkingDirectory(params.strRunfile, params.strDirectory);
  PROCESS_INFORMATION process = {};
  // A console program gets a console of its own without a window, so that it can be sent
  // Ctrl+Break; its own process group, so that the Ctrl+Break reaches the program and what it
  // starts. A console made by the runner beforehand would cost the start several times more.
  if (!::CreateProcessA(nullptr, strCommandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP | CREATE_NO_WINDOW,
                        m_strEnvironmentBlock.empty() ? nullptr : m_strEnvironmentBlock.data(),
                        strDirectory.empty() ? nullptr : strDirectory.c_str(), &startup,
                        &process)) {
    failure.bCreateProcess = true;
    return Fail(failure, "CreateProcess");
  }
  unique_handle hThread(process.hThread);
  m_hProcess.reset(process.hProcess);
  m_dwProcessId = process.dwProcessId;
  if (!::AssignProcessToJobObject(m_hJob.get(), m_hProcess.get())) {
    Fail(failure, "putting the program in the job object");
    ::TerminateProcess(m_hProcess.get(), 1);
    m_hProcess.reset();
    m_dwProcessId = 0;
    return false;
  }
  // Set before the program runs its first instruction.
  if (m_dwPriorityClass != NORMAL_PRIORITY_CLASS &&
      !::SetPriorityClass(m_hProcess.get(), m_dwPriorityClass)) {
    Fail(failure, "setting the program's priority");
    ::TerminateJobObject(m_hJob.get(), 1);
    m_hProcess.reset();
    m_dwProcessId = 0;
    return false;
  }
  if (::ResumeThread(hThread.get()) == static_cast<DWORD>(-1)) {
    Fail(failure, "resuming the program");
    ::TerminateJobObject(m_hJob.get(), 1);
    m_hProcess.reset();
    m_dwProcessId = 0;
    return false;
  }
  return true;
}

DWORD CChildProcess::ExitCode() const {
  DWORD dwCode = 0;
  if (!::GetExitCodeProcess(m_hProcess.get(), &dwCode)) return 1;
  return dwCode;
}

std::vector<DWORD> CChildProcess::ProcessIds() const {
  // Room for a good number of processes; a job that holds more still gets its first ones.
  constexpr DWORD kMaxIds = 256;
  alignas(JOBOBJECT_BASIC_PROCESS_ID_LIST)
      BYTE buffer[sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) + (kMaxIds - 1) * sizeof(ULONG_PTR)] = {};
  auto* pList = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer);
  pList->NumberOfAssignedProcesses = kMaxIds;
  std::vector<DWORD> ids;
  if (::QueryInformationJobObject(m_hJob.get(), JobObjectBasicProcessIdList, pList, sizeof(buffer),
                                  nullptr)) {
    const ULONG_PTR* pIds = pList->ProcessIdList;
    for (DWORD i = 0; i < pList->NumberOfProcessIdsInList && i < kMaxIds; ++i) {
      ids.push_back(static_cast<DWORD>(pIds[i]));
    }
  }
  if (ids.empty() && m_dwProcessId != 0) ids.push_back(m_dwProcessId);
  return ids;
}

bool CChildProcess::AllEnded() const {
  if (::WaitForSingleObject(m_hProcess.get(), 0) != WAIT_OBJECT_0) return false;
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
  if (!::QueryInformationJobObject(m_hJob.get(), JobObjectBasicAccountingInformation, &accounting,
                                   sizeof(accounting), nullptr)) {
    return true;  // the program itself has ended; that is all the job can tell
  }
  return accounting.ActiveProcesses == 0;
}

bool CChildProcess::WaitAllEnded(DWORD dwTimeoutMs) const {
  ULONGLONG ullStart = ::GetTickCount64();
  if (::WaitForSingleObject(m_hProcess.get(), dwTimeoutMs) != WAIT_OBJECT_0) return false;
  // The program has ended; what it started may take a moment longer.
  for (;;) {
    if (AllEnded()) return true;
    ULONGLONG ullElapsed = ::GetTickCount64() - ullStart;
    if (ullElapsed >= dwTimeoutMs) return false;
    ::Sleep(static_cast<DWORD>(dwTimeoutMs - ullElapsed < 5 ? dwTimeoutMs - ullElapsed : 5));
  }
}

void CChildProcess::EndAll(DWORD dwTimeoutMs) {
  if (!m_hJob) return;
  ::TerminateJobObject(m_hJob.get(), 1);
  WaitAllEnded(dwTimeoutMs);
}

}  // namespace qm::runner
