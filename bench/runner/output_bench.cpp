// The runner carrying a program's output into its Stdout file, rotated every 10 MB, against the
// same program writing straight to a file and into a bare pipe; the runner handing the program
// its file (no rotation: nothing passes through the runner) against the program opening the
// file itself, made anew and appended to (the runner hands over a file opened for appending); the
// runner's working set idle and at its peak; and how long a line written by a slow program takes to
// reach the file.
//   output_bench.exe [megabytes, default 40]
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "common/win32_handles.h"
#include "contract/runner_contract.h"

namespace {

using qm::bench::BinFolder;
using qm::bench::NowMs;
using qm::bench::Query;
using qm::bench::SetDword;
using qm::bench::SetString;
using qm::bench::WaitForFile;

constexpr long kLineBytes = 100;
constexpr DWORD kRotateBytes = 10 * 1000 * 1000;
constexpr int kSlowLines = 20;
constexpr DWORD kSlowIntervalMs = 100;

void Touch(const std::string& strPath) {
  qm::unique_hfile hFile(::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Bytes in every file of the folder whose name starts with strPrefix, and how many there are.
unsigned long long FolderBytes(const std::string& strFolder, const std::string& strPrefix,
                               int* pnFiles = nullptr) {
  unsigned long long ullBytes = 0;
  int nFiles = 0;
  WIN32_FIND_DATAA data;
  qm::unique_hfind hFind(::FindFirstFileA((strFolder + strPrefix + "*").c_str(), &data));
  if (hFind) {
    do {
      ullBytes += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      ++nFiles;
    } while (::FindNextFileA(hFind.get(), &data));
  }
  if (pnFiles) *pnFiles = nFiles;
  return ullBytes;
}

void DeleteAll(const std::string& strFolder) {
  WIN32_FIND_DATAA data;
  qm::unique_hfind hFind(::FindFirstFileA((strFolder + "*").c_str(), &data));
  if (hFind) {
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::DeleteFileA((strFolder + data.cFileName).c_str());
      }
    } while (::FindNextFileA(hFind.get(), &data));
  }
}

// The program writing its own file, from the go file to the done file; 0 when it cannot run.
double OwnFileMs(const std::string& strFolder, const std::string& strSize,
                 const std::string& strTag, bool bAppend) {
  std::string strLine = "\"" + BinFolder() + "bench_writer.exe\" fast " + strSize + " \"" +
                        strFolder + "go" + strTag + "\" \"" + strFolder + "done" + strTag +
                        "\" \"" + strFolder + "floor.log\"" + (bAppend ? " append" : "");
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, strLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    std::fprintf(stderr, "CreateProcess failed: %lu\n", ::GetLastError());
    return 0;
  }
  qm::unique_handle hWriter(process.hProcess);
  qm::unique_handle hWriterThread(process.hThread);
  ::Sleep(200);
  const double dStart = NowMs();
  Touch(strFolder + "go" + strTag);
  const bool bOk = WaitForFile(strFolder + "done" + strTag, 600000);
  const double dMs = NowMs() - dStart;
  ::TerminateProcess(hWriter.get(), 0);
  ::WaitForSingleObject(hWriter.get(), 10000);
  DeleteAll(strFolder);
  return bOk ? dMs : 0;
}

PROCESS_MEMORY_COUNTERS Memory(DWORD dwProcessId) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  qm::unique_handle hProcess(
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, dwProcessId));
  if (hProcess) ::GetProcessMemoryInfo(hProcess.get(), &counters, sizeof(counters));
  return counters;
}

bool WaitForState(SC_HANDLE hService, DWORD dwState) {
  return qm::bench::WaitForState(hService, dwState, 60000, 5);
}

// A runner service for bench_writer.exe with the given arguments and Stdout file, rotated
// every dwRotateBytes (0: never, and the program writes the file itself).
qm::unique_schandle CreateRunnerService(SC_HANDLE hManager, const std::string& strName,
                                        const std::string& strArguments,
                                        const std::string& strStdout,
                                        DWORD dwRotateBytes = kRotateBytes) {
  std::string strRunner = BinFolder() + "carrack.exe";
  qm::unique_schandle hService(
      ::CreateServiceA(hManager, strName.c_str(), strName.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                       strRunner.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!hService) return hService;
  namespace value = qm::contract::value;
  std::string strKey = qm::contract::ParametersKeyPath(strName);
  SetString(strKey, value::kInstaller, qm::contract::kInstallerMarker);
  SetString(strKey, value::kArguments, strArguments);
  SetString(strKey, value::kRunfile, BinFolder() + "bench_writer.exe");
  SetString(strKey, value::kDirectory, "");
  SetString(strKey, value::kStdout, strStdout);
  if (dwRotateBytes != 0) {
    SetDword(strKey, value::kRotateBytes, dwRotateBytes);
    SetDword(strKey, "RotateKeep", 0);
  }
  return hService;
}

void StopAndDelete(SC_HANDLE hService) {
  SERVICE_STATUS status;
  if (::ControlService(hService, SERVICE_CONTROL_STOP, &status)) {
    WaitForState(hService, SERVICE_STOPPED);
  }
  ::DeleteService(hService);
}

}  // namespace

int main(int argc, char** argv) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  const double dFrequency = static_cast<double>(frequency.QuadPart);
  long long llMegabytes = argc > 1 ? std::max(1LL, std::atoll(argv[1])) : 40;
  long long llBytes = llMegabytes * 1000 * 1000;
  char szTemp[MAX_PATH] = "";
  ::GetTempPathA(sizeof(szTemp), szTemp);
  std::string strFolder =
      std::string(szTemp) + "QmOutputBench" + std::to_string(::GetCurrentProcessId()) + "\\";
  ::CreateDirectoryA(strFolder.c_str(), nullptr);
  qm::unique_schandle hManager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!hManager) {
    std::fprintf(stderr, "OpenSCManager failed: %lu\n", ::GetLastError());
    return 1;
  }
  std::string strSize = std::to_string(llBytes) + " " + std::to_string(kLineBytes);

  // The floor: the program writes the file itself, made anew ("wb") and appended to ("ab").
  const double dFloorMs = OwnFileMs(strFolder, strSize, "1", false);
  const double dAppendFloorMs = OwnFileMs(strFolder, strSize, "5", true);
  if (dFloorMs <= 0 || dAppendFloorMs <= 0) return 1;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::string strLine;
  double dStart = 0;
  bool bOk = true;

  // The pipe alone: the same program writing into a pipe that is read and thrown away, the
  // most that any runner capturing output could reach.
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE hPipeRead = nullptr;
  HANDLE hPipeWrite = nullptr;
  double dPipeMs = 0;
  if (::CreatePipe(&hPipeRead, &hPipeWrite, &inherit, 1024 * 1024)) {
    qm::unique_handle hRead(hPipeRead);
    qm::unique_handle hWrite(hPipeWrite);
    ::SetHandleInformation(hPipeRead, HANDLE_FLAG_INHERIT, 0);
    strLine = "\"" + BinFolder() + "bench_writer.exe\" fast " + strSize + " \"" + strFolder +
              "go0\" \"" + strFolder + "done0\"";
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = hPipeWrite;
    if (::CreateProcessA(nullptr, strLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                         &startup, &process)) {
      qm::unique_handle hWriter(process.hProcess);
      qm::unique_handle hWriterThread(process.hThread);
      hWrite.reset();
      ::Sleep(200);
      dStart = NowMs();
      Touch(strFolder + "go0");
      std::vector<char> buffer(64 * 1024);
      long long llRead = 0;
      DWORD dwRead = 0;
      while (llRead < llBytes && ::ReadFile(hPipeRead, buffer.data(),
                                            static_cast<DWORD>(buffer.size()), &dwRead, nullptr)) {
        llRead += dwRead;
      }
      dPipeMs = NowMs() - dStart;
      ::TerminateProcess(hWriter.get(), 0);
      ::WaitForSingleObject(hWriter.get(), 10000);
    }
    startup = {};
    startup.cb = sizeof(startup);
  }
  DeleteAll(strFolder);

  // The runner: the same lines through its pipe into out.log, rotated every 10 MB.
  std::string strName = "QmOutputBench" + std::to_string(::GetCurrentProcessId());
  qm::unique_schandle hService = CreateRunnerService(
      hManager.get(), strName,
      "fast " + strSize + " \"" + strFolder + "go2\" \"" + strFolder + "done2\"",
      strFolder + "out.log");
  if (!hService || !::StartServiceA(hService.get(), 0, nullptr) ||
      !WaitForState(hService.get(), SERVICE_RUNNING)) {
    std::fprintf(stderr, "runner service failed: %lu\n", ::GetLastError());
    if (hService) ::DeleteService(hService.get());
    return 1;
  }
  ::Sleep(500);
  DWORD dwRunner = Query(hService.get()).dwProcessId;
  PROCESS_MEMORY_COUNTERS idle = Memory(dwRunner);
  dStart = NowMs();
  Touch(strFolder + "go2");
  bOk = WaitForFile(strFolder + "done2", 600000);
  double dWrittenMs = NowMs() - dStart;
  while (bOk && FolderBytes(strFolder, "out") < static_cast<unsigned long long>(llBytes)) {
    ::Sleep(1);
  }
  double dInFilesMs = NowMs() - dStart;
  PROCESS_MEMORY_COUNTERS busy = Memory(dwRunner);
  int nFiles = 0;
  unsigned long long ullInFiles = FolderBytes(strFolder, "out", &nFiles);
  StopAndDelete(hService.get());
  DeleteAll(strFolder);

  // The runner handing the program the file: the program's own speed, less nothing.
  double dDirectMs = 0;
  unsigned long long ullDirect = 0;
  hService = CreateRunnerService(
      hManager.get(), strName + "Direct",
      "fast " + strSize + " \"" + strFolder + "go4\" \"" + strFolder + "done4\"",
      strFolder + "direct.log", 0);
  if (hService && ::StartServiceA(hService.get(), 0, nullptr) &&
      WaitForState(hService.get(), SERVICE_RUNNING)) {
    ::Sleep(500);
    dStart = NowMs();
    Touch(strFolder + "go4");
    if (WaitForFile(strFolder + "done4", 600000)) dDirectMs = NowMs() - dStart;
    StopAndDelete(hService.get());
    ullDirect = FolderBytes(strFolder, "direct");
  } else if (hService) {
    ::DeleteService(hService.get());
  }
  DeleteAll(strFolder);

  // A slow program: a line every 100 ms; how long until each is in the file.
  std::vector<double> latencies;
  hService = CreateRunnerService(hManager.get(), strName + "Slow",
                                 "slow " + std::to_string(kSlowLines) + " " +
                                     std::to_string(kSlowIntervalMs) + " \"" + strFolder +
                                     "go3\" \"" + strFolder + "done3\"",
                                 strFolder + "slow.log");
  if (hService && ::StartServiceA(hService.get(), 0, nullptr) &&
      WaitForState(hService.get(), SERVICE_RUNNING)) {
    Touch(strFolder + "go3");
    std::string strText;
    double dEnd = NowMs() + 30000;
    std::size_t nSeen = 0;
    while (latencies.size() < static_cast<std::size_t>(kSlowLines) && NowMs() < dEnd) {
      qm::unique_hfile hFile(::CreateFileA((strFolder + "slow.log").c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      char buffer[4096];
      DWORD dwRead = 0;
      strText.clear();
      while (hFile && ::ReadFile(hFile.get(), buffer, sizeof(buffer), &dwRead, nullptr) &&
             dwRead > 0) {
        strText.append(buffer, dwRead);
      }
      LARGE_INTEGER now;
      ::QueryPerformanceCounter(&now);
      std::size_t pos = 0;
      for (std::size_t n = 0; n < nSeen; ++n) pos = strText.find('\n', pos) + 1;
      std::size_t end;
      while ((end = strText.find('\n', pos)) != std::string::npos) {
        long long llWritten = std::atoll(strText.c_str() + pos);
        latencies.push_back(1000.0 * static_cast<double>(now.QuadPart - llWritten) / dFrequency);
        ++nSeen;
        pos = end + 1;
      }
      ::Sleep(1);
    }
    StopAndDelete(hService.get());
  }
  DeleteAll(strFolder);
  ::RemoveDirectoryA(strFolder.c_str());

  double dMb = static_cast<double>(llBytes) / 1e6;
  std::printf("output of %lld MB in %ld-byte lines, rotated every %lu MB\n", llMegabytes,
              kLineBytes, static_cast<unsigned long>(kRotateBytes / 1000000));
  std::printf("  program writing the file itself     %8.0f ms  %7.1f MB/s\n", dFloorMs,
              dMb * 1000 / dFloorMs);
  if (dPipeMs > 0) {
    std::printf("  into a pipe, read and thrown away    %8.0f ms  %7.1f MB/s  (%.2fx the floor)\n",
                dPipeMs, dMb * 1000 / dPipeMs, dFloorMs / dPipeMs);
  }
  std::printf("  through the runner, program done    %8.0f ms  %7.1f MB/s  (%.2fx the floor)\n",
              dWrittenMs, dMb * 1000 / dWrittenMs, dFloorMs / dWrittenMs);
  std::printf("  through the runner, all in files    %8.0f ms  %7.1f MB/s  (%.2fx the floor)\n",
              dInFilesMs, dMb * 1000 / dInFilesMs, dFloorMs / dInFilesMs);
  std::printf("  bytes in files %llu of %lld, in %d files\n", ullInFiles, llBytes, nFiles);
  if (dPipeMs > 0) {
    std::printf("  through the runner against the bare pipe: %.2fx its speed\n",
                dPipeMs / dInFilesMs);
  }
  if (dDirectMs > 0) {
    std::printf(
        "  runner handing over the file (no rotation) %6.0f ms  %7.1f MB/s  (%.2fx the "
        "floor; %llu bytes)\n",
        dDirectMs, dMb * 1000 / dDirectMs, dFloorMs / dDirectMs, ullDirect);
    std::printf("  program appending to the file itself %7.0f ms  %7.1f MB/s\n", dAppendFloorMs,
                dMb * 1000 / dAppendFloorMs);
    std::printf("  runner handing over the file against the program appending itself: %.2fx\n",
                dAppendFloorMs / dDirectMs);
  }
  std::printf(
      "  runner working set: idle %.0f KiB (peak so far %.0f KiB), peak after %.0f KiB "
      "(+%.0f KiB)\n",
      idle.WorkingSetSize / 1024.0, idle.PeakWorkingSetSize / 1024.0,
      busy.PeakWorkingSetSize / 1024.0,
      (static_cast<double>(busy.PeakWorkingSetSize) - idle.WorkingSetSize) / 1024.0);
  if (!latencies.empty()) {
    std::sort(latencies.begin(), latencies.end());
    std::printf(
        "  slow writer, line written to line in file: median %.1f ms, max %.1f ms "
        "(%zu lines)\n",
        latencies[latencies.size() / 2], latencies.back(), latencies.size());
  }
  return ullInFiles == static_cast<unsigned long long>(llBytes) &&
                 ullDirect == static_cast<unsigned long long>(llBytes)
             ? 0
             : 1;
}
