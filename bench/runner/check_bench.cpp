// The readiness and health checks: how soon the manager hears SERVICE_RUNNING after the
// program becomes ready, for each kind of ReadyCheck (the program, tests/runner's probe.exe,
// notes the moment just before it opens its port, creates its file, writes READY=1 or prints
// its line), and what a tcp: health check every second costs the runner over a minute: its CPU
// time, the growth of its working set, and its threads (one for the probes, whatever their
// number).
//   check_bench.exe [rounds, default 7] [seconds, default 60]
#include <windows.h>
// After windows.h, which they need.
#include <psapi.h>
#include <tlhelp32.h>

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
using qm::bench::Query;
using qm::bench::SetDword;
using qm::bench::SetString;

constexpr DWORD kReadyIntervalMs = 250;  // the default
constexpr DWORD kReadyAfterMs = 1500;    // the program is ready this long after its start

// The system time in ms, the clock of the probe's marks.
std::uint64_t SystemMs() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return ((std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime) / 10000;
}

std::string ReadText(const std::string& strPath) {
  std::string strText;
  qm::unique_hfile hFile(::CreateFileA(strPath.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
  if (!hFile) return strText;
  char buffer[4096];
  DWORD cbRead = 0;
  while (::ReadFile(hFile.get(), buffer, sizeof(buffer), &cbRead, nullptr) && cbRead > 0) {
    strText.append(buffer, cbRead);
  }
  return strText;
}

// The time of the probe's mark "name=<ms>", or 0.
std::uint64_t MarkOf(const std::string& strMarks, const std::string& strName) {
  const std::size_t nAt = strMarks.find(strName + "=");
  return nAt == std::string::npos ? 0
                                  : std::strtoull(&strMarks[nAt + strName.size() + 1], nullptr, 10);
}

// A service of the runner that runs probe.exe with strArguments and the given checks.
qm::unique_schandle Install(SC_HANDLE hManager, const std::string& strName,
                            const std::string& strArguments,
                            const std::vector<std::pair<const char*, std::string>>& texts,
                            const std::vector<std::pair<const char*, DWORD>>& numbers) {
  const std::string strBinary = BinFolder() + qm::contract::kRunnerFileName;
  qm::unique_schandle hService(
      ::CreateServiceA(hManager, strName.c_str(), strName.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                       strBinary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!hService) return hService;
  namespace value = qm::contract::value;
  const std::string strKey = qm::contract::ParametersKeyPath(strName);
  SetString(strKey, value::kInstaller, qm::contract::kInstallerMarker);
  SetString(strKey, value::kArguments, strArguments);
  SetString(strKey, value::kRunfile, BinFolder() + "probe.exe");
  SetString(strKey, value::kDirectory, "");
  for (const auto& [pszName, strText] : texts) SetString(strKey, pszName, strText);
  for (const auto& [pszName, dwValue] : numbers) SetDword(strKey, pszName, dwValue);
  return hService;
}

void StopAndDelete(SC_HANDLE hService) {
  SERVICE_STATUS status;
  ::ControlService(hService, SERVICE_CONTROL_STOP, &status);
  qm::bench::WaitForState(hService, SERVICE_STOPPED, 30000, 10);
  ::DeleteService(hService);
}

struct Kind {
  const char* pszName;
  std::string strOptions;  // the probe's
  std::string strCheck;
  const char* pszMark;
};

// One start: the time from the program's mark to SERVICE_RUNNING seen, or -1.
double ReadyLatencyMs(SC_HANDLE hManager, const Kind& kind, int nRound) {
  char szTemp[MAX_PATH] = "";
  ::GetTempPathA(sizeof(szTemp), szTemp);
  const std::string strName = std::string("QmBenchReady") + kind.pszName +
                              std::to_string(::GetCurrentProcessId()) + "_" +
                              std::to_string(nRound);
  const std::string strMarks = std::string(szTemp) + strName + ".marks";
  ::DeleteFileA(strMarks.c_str());
  qm::unique_schandle hService =
      Install(hManager, strName,
              kind.strOptions + " --after " + std::to_string(kReadyAfterMs) + " --marks \"" +
                  strMarks + "\"",
              {{qm::contract::value::kReadyCheck, kind.strCheck}},
              {{qm::contract::value::kReadyInterval, kReadyIntervalMs}});
  if (!hService || !::StartServiceA(hService.get(), 0, nullptr)) return -1;
  // Polled tightly: the figures are milliseconds.
  std::uint64_t ullRunning = 0;
  const std::uint64_t ullGiveUp = SystemMs() + 30000;
  while (SystemMs() < ullGiveUp) {
    const DWORD dwState = Query(hService.get()).dwCurrentState;
    if (dwState == SERVICE_RUNNING) {
      ullRunning = SystemMs();
      break;
    }
    if (dwState == SERVICE_STOPPED) break;
    ::Sleep(1);
  }
  const std::uint64_t ullMark = MarkOf(ReadText(strMarks), kind.pszMark);
  StopAndDelete(hService.get());
  ::DeleteFileA(strMarks.c_str());
  if (ullRunning == 0 || ullMark == 0) return -1;
  return static_cast<double>(ullRunning) - static_cast<double>(ullMark);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? -1 : values[values.size() / 2];
}

DWORD ThreadsOf(DWORD dwProcessId) {
  qm::unique_handle hSnapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!hSnapshot || hSnapshot.get() == INVALID_HANDLE_VALUE) return 0;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  DWORD dwThreads = 0;
  for (BOOL bMore = ::Thread32First(hSnapshot.get(), &entry); bMore;
       bMore = ::Thread32Next(hSnapshot.get(), &entry)) {
    if (entry.th32OwnerProcessID == dwProcessId) ++dwThreads;
  }
  return dwThreads;
}

struct Cost {
  double dCpuMs = 0;
  double dWorkingSetStartKiB = 0;
  double dWorkingSetEndKiB = 0;
  DWORD dwThreadsBefore = 0;  // before the first probe
  DWORD dwThreadsMax = 0;     // the most seen while probing
};

double CpuMs(HANDLE hProcess) {
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(hProcess, &created, &exited, &kernel, &user);
  const auto ms = [](const FILETIME& time) {
    return static_cast<double>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime) /
           10000.0;
  };
  return ms(kernel) + ms(user);
}

double WorkingSetKiB(HANDLE hProcess) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  ::GetProcessMemoryInfo(hProcess, &counters, sizeof(counters));
  return static_cast<double>(counters.WorkingSetSize) / 1024.0;
}

// A tcp: health check every second for nSeconds, against a program that always accepts; or,
// without bChecked, the same program and runner without a check (the floor).
bool MeasureHealthCost(SC_HANDLE hManager, bool bChecked, int nSeconds, Cost* pCost) {
  const int nPort = 30000 + static_cast<int>(::GetCurrentProcessId() % 5000);
  const std::string strName = std::string(bChecked ? "QmBenchHealth" : "QmBenchNoHealth") +
                              std::to_string(::GetCurrentProcessId());
  namespace value = qm::contract::value;
  std::vector<std::pair<const char*, std::string>> texts;
  if (bChecked) texts.push_back({value::kHealthCheck, "tcp:" + std::to_string(nPort)});
  qm::unique_schandle hService = Install(hManager, strName, "--listen " + std::to_string(nPort),
                                         texts, {{value::kHealthInterval, 1000}});
  if (!hService || !::StartServiceA(hService.get(), 0, nullptr) ||
      !qm::bench::WaitForState(hService.get(), SERVICE_RUNNING, 30000, 1)) {
    return false;
  }
  const DWORD dwRunner = Query(hService.get()).dwProcessId;
  qm::unique_handle hRunner(
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, dwRunner));
  if (!hRunner) return false;
  pCost->dwThreadsBefore = ThreadsOf(dwRunner);  // the first probe is a second away
  ::Sleep(3000);                                 // the probe thread made, Winsock loaded
  const double dCpuStart = CpuMs(hRunner.get());
  pCost->dWorkingSetStartKiB = WorkingSetKiB(hRunner.get());
  for (int i = 0; i < nSeconds; ++i) {
    ::Sleep(1000);
    pCost->dwThreadsMax = std::max(pCost->dwThreadsMax, ThreadsOf(dwRunner));
  }
  pCost->dCpuMs = CpuMs(hRunner.get()) - dCpuStart;
  pCost->dWorkingSetEndKiB = WorkingSetKiB(hRunner.get());
  StopAndDelete(hService.get());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int nRounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const int nSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;
  qm::unique_schandle hManager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!hManager) {
    std::fprintf(stderr, "OpenSCManager failed: %lu\n", ::GetLastError());
    return 1;
  }
  char szTemp[MAX_PATH] = "";
  ::GetTempPathA(sizeof(szTemp), szTemp);
  const int nPort = 35000 + static_cast<int>(::GetCurrentProcessId() % 5000);
  const std::string strPort = std::to_string(nPort);
  const std::string strFile =
      std::string(szTemp) + "qm-bench-ready-" + std::to_string(::GetCurrentProcessId()) + ".pid";
  const Kind kinds[] = {
      {"tcp", "--listen " + strPort, "tcp:" + strPort, "listening"},
      {"http", "--listen " + strPort + " --http 200", "http://127.0.0.1:" + strPort + "/ready",
       "listening"},
      {"file", "--touch \"" + strFile + "\"", "file:" + strFile, "touched"},
      {"notify", "--notify", "notify", "notified"},
      {"output", "--print-after " + std::to_string(kReadyAfterMs) + " --print Listening",
       "output:Listening", "printed"},
  };
  std::printf(
      "readiness: from the program ready to SERVICE_RUNNING seen, ReadyInterval %lu ms "
      "(median of %d starts, and the slowest)\n",
      static_cast<unsigned long>(kReadyIntervalMs), nRounds);
  std::printf("%-8s %10s %10s %12s\n", "check", "median ms", "max ms", "limit ms");
  for (const Kind& kind : kinds) {
    std::vector<double> latencies;
    for (int i = 0; i < nRounds; ++i) {
      ::DeleteFileA(strFile.c_str());
      const double dMs = ReadyLatencyMs(hManager.get(), kind, i);
      if (dMs < 0) {
        std::fprintf(stderr, "%s: round %d did not become ready\n", kind.pszName, i);
        return 1;
      }
      latencies.push_back(dMs);
    }
    const bool bAtOnce =
        std::string(kind.pszName) == "notify" || std::string(kind.pszName) == "output";
    std::printf("%-8s %10.1f %10.1f %12lu\n", kind.pszName, Median(latencies),
                *std::max_element(latencies.begin(), latencies.end()),
                static_cast<unsigned long>(bAtOnce ? 50 : kReadyIntervalMs + 50));
  }
  ::DeleteFileA(strFile.c_str());

  for (const bool bChecked : {false, true}) {
    Cost cost;
    if (!MeasureHealthCost(hManager.get(), bChecked, nSeconds, &cost)) {
      std::fprintf(stderr, "the health check service did not run\n");
      return 1;
    }
    std::printf("\n%s, %d s:\n",
                bChecked ? "a tcp: health check every second" : "no check (the floor)", nSeconds);
    std::printf("  runner CPU time      %8.1f ms (%.3f%% of one core)\n", cost.dCpuMs,
                100.0 * cost.dCpuMs / (nSeconds * 1000.0));
    std::printf("  runner working set   %8.0f KiB at the start, %.0f KiB at the end (%+.0f KiB)\n",
                cost.dWorkingSetStartKiB, cost.dWorkingSetEndKiB,
                cost.dWorkingSetEndKiB - cost.dWorkingSetStartKiB);
    std::printf("  runner threads       %8lu at the start, at most %lu later\n",
                static_cast<unsigned long>(cost.dwThreadsBefore),
                static_cast<unsigned long>(cost.dwThreadsMax));
  }
  return 0;
}
