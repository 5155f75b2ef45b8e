// file:, pipe: and exec: checks, and the words a probe uses for a system error.
#include <windows.h>

#include <algorithm>

#include <string>

#include "common/win32_handles.h"
#include "runner/child_process.h"
#include "runner/core/command_line.h"
#include "runner/core/program_file.h"
#include "runner/event_log.h"
#include "runner/probes.h"

namespace qm::runner {

namespace {

ProbeAnswer Failed(std::string strSeen) {
  return {false, std::move(strSeen)};
}

}  // namespace

std::string ProbeErrorText(DWORD dwError) {
  switch (dwError) {
    case ERROR_FILE_NOT_FOUND:
      return "no such file";
    case ERROR_PATH_NOT_FOUND:
      return "no such folder";
    case ERROR_ACCESS_DENIED:
      return "access denied";
    case WSAECONNREFUSED:
      return "connection refused";
    case WSAETIMEDOUT:
      return "connection timed out";
    case WSAENETUNREACH:
      return "network unreachable";
    case WSAEHOSTUNREACH:
      return "host unreachable";
    case WSAECONNRESET:
      return "connection reset";
    default:
      return SystemErrorText(dwError);
  }
}

ProbeAnswer ProbeFile(const ProbeTarget& target, const ExecPlace& place) {
  const std::string strPath = PathFrom(place.strDirectory, target.strTarget);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data)) {
    return Failed(ProbeErrorText(::GetLastError()));
  }
  const auto value = [](const FILETIME& ft) {
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  };
  constexpr std::uint64_t kFatResolution = 2 * 10000000ull;
  const std::uint64_t ullWritten =
      std::max(value(data.ftLastWriteTime), value(data.ftCreationTime));
  if (ullWritten + kFatResolution < place.ullRunStart) {
    return Failed("the file is older than the program's start");
  }
  return {true, ""};
}

ProbeAnswer ProbePipe(const ProbeTarget& target) {
  // Asks whether an instance is there without connecting to it: the program never sees a
  // client come and go. A pipe whose instances are all busy exists all the same.
  const std::string strName = "\\\\.\\pipe\\" + target.strTarget;
  if (::WaitNamedPipeA(strName.c_str(), 1)) return {true, ""};
  const DWORD dwError = ::GetLastError();
  if (dwError == ERROR_SEM_TIMEOUT) return {true, ""};
  return Failed(dwError == ERROR_FILE_NOT_FOUND ? "no such pipe" : ProbeErrorText(dwError));
}

ProbeAnswer ProbeExec(const ProbeTarget& target, DWORD dwTimeoutMs, const ExecPlace& place,
                      HANDLE hCancel) {
  // The program is found as the Runfile is: a bare name on the search path only, a relative
  // path from the program's folder; a batch file is run by the system's interpreter.
  const CommandParts parts = SplitCommandLine(target.strTarget);
  std::string strProgram = IsBareFileName(parts.strProgram)
                               ? FindOnSearchPath(parts.strProgram)
                               : PathFrom(place.strDirectory, parts.strProgram);
  if (strProgram.empty()) return Failed("\"" + parts.strProgram + "\" is not on the search path");
  std::string strInterpreter;
  std::string strLine;
  if (IsBatchFile(strProgram)) {
    strInterpreter = SystemInterpreter();
    strLine = ComposeBatchCommandLine(strInterpreter, strProgram, parts.strArguments);
  } else {
    strLine = ComposeCommandLine(strProgram, parts.strArguments);
  }
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  unique_hfile hNul(::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!hNul) return Failed(ProbeErrorText(::GetLastError()));
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = hNul.get();
  PROCESS_INFORMATION process = {};
  // Suspended until it is in the program's job, so nothing it starts escapes the job.
  if (!::CreateProcessA(
          strInterpreter.empty() ? nullptr : strInterpreter.c_str(), strLine.data(), nullptr,
          nullptr, TRUE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
          place.strEnvironment.empty() ? nullptr : const_cast<char*>(place.strEnvironment.data()),
          place.strDirectory.empty() ? nullptr : place.strDirectory.c_str(), &startup, &process)) {
    return Failed("cannot be started: " + ProbeErrorText(::GetLastError()));
  }
  unique_handle hProcess(process.hProcess);
  unique_handle hThread(process.hThread);
  if (place.hJob && !::AssignProcessToJobObject(place.hJob, hProcess.get())) {
    const DWORD dwError = ::GetLastError();
    ::TerminateProcess(hProcess.get(), 1);
    return Failed("cannot be put in the service's job: " + ProbeErrorText(dwError));
  }
  ::ResumeThread(hThread.get());
  HANDLE ahWait[2] = {hProcess.get(), hCancel};
  const DWORD dwWhich = ::WaitForMultipleObjects(hCancel ? 2 : 1, ahWait, FALSE, dwTimeoutMs);
  if (dwWhich != WAIT_OBJECT_0) {
    ::TerminateProcess(hProcess.get(), 1);
    return Failed(dwWhich == WAIT_OBJECT_0 + 1
                      ? "cancelled"
                      : "did not end within " + std::to_string(dwTimeoutMs) + " ms");
  }
  DWORD dwExitCode = 1;
  ::GetExitCodeProcess(hProcess.get(), &dwExitCode);
  if (dwExitCode == 0) return {true, ""};
  return Failed("exit code " + std::to_string(dwExitCode));
}

}  // namespace qm::runner
