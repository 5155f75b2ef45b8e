#include "runner/child_process.h"

#include <cstring>

#include "common/ascii_case.h"
#include "runner/core/command_line.h"
#include "runner/core/program_file.h"

namespace qm::runner {

namespace {

unique_hfile OpenNul(DWORD dwAccess, SECURITY_ATTRIBUTES* pInherit) {
  return unique_hfile(::CreateFileA("NUL", dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, pInherit,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool Fail(RunnerFailure* pFailure, std::string strStep) {
  *pFailure = {FailureKind::kStepFailed, std::move(strStep), "", "", ::GetLastError()};
  return false;
}

// The program itself could not be created: the event names the command line and the folder
// as the runner composed them from the settings.
bool FailToCreate(RunnerFailure* pFailure, const RunnerSettings& settings) {
  const DWORD dwError = ::GetLastError();
  std::string strDirectory = ChooseWorkingDirectory(settings.strRunfile, settings.strDirectory);
  if (strDirectory.empty()) strDirectory = "(the system folder)";
  *pFailure = {FailureKind::kProgramNotStarted, "CreateProcess",
               ComposeCommandLine(settings.strRunfile, settings.strArguments),
               std::move(strDirectory), dwError};
  return false;
}

}  // namespace

std::string FindOnSearchPath(const std::string& strRunfile) {
  std::vector<char> path(32767, '\0');
  DWORD dwLength = ::GetEnvironmentVariableA("PATH", path.data(), static_cast<DWORD>(path.size()));
  if (dwLength == 0 || dwLength >= path.size()) return {};
  for (const std::string& strCandidate :
       SearchPathCandidates(strRunfile, std::string_view(path.data(), dwLength))) {
    DWORD dwAttributes = ::GetFileAttributesA(strCandidate.c_str());
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return strCandidate;
    }
  }
  return {};
}

std::string SystemInterpreter() {
  char szSystem[MAX_PATH] = "";
  UINT uLength = ::GetSystemDirectoryA(szSystem, sizeof(szSystem));
  if (uLength == 0 || uLength >= sizeof(szSystem)) return {};
  return std::string(szSystem) + "\\cmd.exe";
}

void CChildProcess::SetLaunchOptions(std::string strEnvironmentBlock, DWORD dwPriorityClass) {
  m_strEnvironmentBlock = std::move(strEnvironmentBlock);
  m_dwPriorityClass = dwPriorityClass;
}

bool CChildProcess::Start(const RunnerSettings& settings, const ChildOutput& output,
                          RunnerFailure* pFailure) {
  m_hJob.reset(::CreateJobObjectA(nullptr, nullptr));
  if (!m_hJob) return Fail(pFailure, "creating the job object");
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!::SetInformationJobObject(m_hJob.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof(limits))) {
    return Fail(pFailure, "setting up the job object");
  }

  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  unique_hfile hStdin = OpenNul(GENERIC_READ, &inherit);
  if (!hStdin) return Fail(pFailure, "opening NUL for standard input");
  // Output the runner does not capture is discarded.
  unique_hfile hNulOut;
  if (!output.hStdout || !output.hStderr) {
    hNulOut = OpenNul(GENERIC_WRITE, &inherit);
    if (!hNulOut) return Fail(pFailure, "opening NUL for the program's output");
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

  // A bare name is the program of that name on the search path, started by its full path:
  // left to process creation, the runner's own folder and the current one would come first.
  std::string strRunfile = settings.strRunfile;
  if (IsBareFileName(strRunfile)) {
    strRunfile = FindOnSearchPath(strRunfile);
    if (strRunfile.empty()) {
      ::SetLastError(ERROR_FILE_NOT_FOUND);
      return FailToCreate(pFailure, settings);
    }
  }
  // A batch file is run by the system's interpreter, named rather than searched for.
  m_bBatch = IsBatchFile(strRunfile);
  std::string strInterpreter = m_bBatch ? SystemInterpreter() : std::string();
  std::string strCommandLine =
      m_bBatch ? ComposeBatchCommandLine(strInterpreter, strRunfile, settings.strArguments)
               : ComposeCommandLine(strRunfile, settings.strArguments);
  std::string strDirectory = ChooseWorkingDirectory(settings.strRunfile, settings.strDirectory);
  PROCESS_INFORMATION process = {};
  // A console program gets a console of its own without a window, so that the runner can send
  // Ctrl+C to everything on it. It stays in the runner's process group: a new group would
  // start it with Ctrl+C switched off, and most programs only listen for Ctrl+C. A console
  // made by the runner beforehand would cost the start several times more.
  if (!::CreateProcessA(m_bBatch ? strInterpreter.c_str() : nullptr, strCommandLine.data(), nullptr,
                        nullptr, TRUE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                        m_strEnvironmentBlock.empty() ? nullptr : m_strEnvironmentBlock.data(),
                        strDirectory.empty() ? nullptr : strDirectory.c_str(), &startup,
                        &process)) {
    return FailToCreate(pFailure, settings);
  }
  unique_handle hThread(process.hThread);
  m_hProcess.reset(process.hProcess);
  m_dwProcessId = process.dwProcessId;
  if (!::AssignProcessToJobObject(m_hJob.get(), m_hProcess.get())) {
    Fail(pFailure, "putting the program in the job object");
    ::TerminateProcess(m_hProcess.get(), 1);
    m_hProcess.reset();
    m_dwProcessId = 0;
    return false;
  }
  // Set before the program runs its first instruction.
  if (m_dwPriorityClass != NORMAL_PRIORITY_CLASS &&
      !::SetPriorityClass(m_hProcess.get(), m_dwPriorityClass)) {
    Fail(pFailure, "setting the program's priority");
    ::TerminateJobObject(m_hJob.get(), 1);
    m_hProcess.reset();
    m_dwProcessId = 0;
    return false;
  }
  // The program must not have run before it was in the job: whatever it started meanwhile
  // would be outside it. A previous suspend count of 0 says it was never held.
  const DWORD dwPreviousCount = ::ResumeThread(hThread.get());
  if (dwPreviousCount == 0) ::SetLastError(ERROR_INVALID_STATE);
  if (dwPreviousCount == 0 || dwPreviousCount == static_cast<DWORD>(-1)) {
    Fail(pFailure, "resuming the program");
    ::TerminateJobObject(m_hJob.get(), 1);
    m_hProcess.reset();
    m_dwProcessId = 0;
    return false;
  }
  m_ullStartedTick = ::GetTickCount64();
  return true;
}

bool CChildProcess::OnlyProgramLeft() const {
  if (::WaitForSingleObject(m_hProcess.get(), 0) == WAIT_OBJECT_0) return false;
  return !OthersRun();
}

bool CChildProcess::OthersRun() const {
  for (DWORD dwId : ProcessIds()) {
    if (dwId == m_dwProcessId) continue;
    // The host of the program's console, which the program may have started into the job,
    // does not count: it ends with its last client.
    unique_handle hProcess(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwId));
    char szImage[MAX_PATH] = "";
    DWORD dwLength = sizeof(szImage);
    if (!hProcess || !::QueryFullProcessImageNameA(hProcess.get(), 0, szImage, &dwLength)) {
      return true;
    }
    const char* pszName = std::strrchr(szImage, '\\');
    if (!EqualsIgnoringCase(pszName ? pszName + 1 : szImage, "conhost.exe")) return true;
  }
  return false;
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
