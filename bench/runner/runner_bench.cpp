// Times a runner service from StartService to its program running and from the stop request
// to SERVICE_STOPPED, and reads the runner's peak working set; the same for a service program
// that does nothing. Prints the medians of several rounds and the runner's ratio to the floor.
//   runner_bench.exe [rounds]
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
using qm::bench::SetString;

// Polls tightly: the figures are tens of milliseconds.
bool WaitForState(SC_HANDLE hService, DWORD dwState) {
  return qm::bench::WaitForState(hService, dwState, 30000, 1);
}

bool WaitForFile(const std::string& strPath) {
  return qm::bench::WaitForFile(strPath, 30000);
}

struct Round {
  double dStartMs = 0;    // StartService to SERVICE_RUNNING
  double dProgramMs = 0;  // StartService to the program's marker (runner only)
  double dStopMs = 0;     // stop request to SERVICE_STOPPED
  double dPeakKiB = 0;    // the service process's peak working set
};

double PeakKiB(DWORD dwProcessId) {
  qm::unique_handle hProcess(
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, dwProcessId));
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  if (!hProcess || !::GetProcessMemoryInfo(hProcess.get(), &counters, sizeof(counters))) return 0;
  return static_cast<double>(counters.PeakWorkingSetSize) / 1024.0;
}

// One round: install, start, wait for running (and for the program), measure, stop, delete.
bool RunRound(SC_HANDLE hManager, bool bRunner, int nRound, Round& round) {
  std::string strName = std::string(bRunner ? "QmBenchRunner" : "QmBenchFloor") +
                        std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(nRound);
  std::string strBinary =
      BinFolder() + (bRunner ? qm::contract::kRunnerFileName : "floor_service.exe");
  qm::unique_schandle hService(
      ::CreateServiceA(hManager, strName.c_str(), strName.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                       strBinary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!hService) {
    std::fprintf(stderr, "CreateService failed: %lu\n", ::GetLastError());
    return false;
  }
  char szTemp[MAX_PATH] = "";
  ::GetTempPathA(sizeof(szTemp), szTemp);
  std::string strMarker = std::string(szTemp) + strName + ".marker";
  ::DeleteFileA(strMarker.c_str());
  if (bRunner) {
    namespace value = qm::contract::value;
    std::string strKey = qm::contract::ParametersKeyPath(strName);
    SetString(strKey, value::kInstaller, qm::contract::kInstallerMarker);
    SetString(strKey, value::kArguments, "\"" + strMarker + "\"");
    SetString(strKey, value::kRunfile, BinFolder() + "bench_program.exe");
    SetString(strKey, value::kDirectory, "");
  }

  bool bOk = true;
  double dStart = NowMs();
  if (!::StartServiceA(hService.get(), 0, nullptr)) {
    std::fprintf(stderr, "StartService failed: %lu\n", ::GetLastError());
    bOk = false;
  }
  bOk = bOk && WaitForState(hService.get(), SERVICE_RUNNING);
  round.dStartMs = NowMs() - dStart;
  if (bOk && bRunner) {
    bOk = WaitForFile(strMarker);
    round.dProgramMs = NowMs() - dStart;
  }
  if (bOk) {
    ::Sleep(200);  // settled: the peak is that of a running service
    round.dPeakKiB = PeakKiB(Query(hService.get()).dwProcessId);
    SERVICE_STATUS status;
    double dStop = NowMs();
    bOk = ::ControlService(hService.get(), SERVICE_CONTROL_STOP, &status) &&
          WaitForState(hService.get(), SERVICE_STOPPED);
    round.dStopMs = NowMs() - dStop;
  }
  ::DeleteService(hService.get());
  ::DeleteFileA(strMarker.c_str());
  return bOk;
}

double Median(std::vector<Round>& rounds, double Round::*pField) {
  std::vector<double> values;
  for (const Round& round : rounds) values.push_back(round.*pField);
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void PrintRow(const char* pszWhat, double dFloor, double dRunner) {
  if (dFloor > 0) {
    std::printf("%-36s %10.1f %10.1f %8.2fx\n", pszWhat, dFloor, dRunner, dRunner / dFloor);
  } else {
    std::printf("%-36s %10s %10.1f %9s\n", pszWhat, "-", dRunner, "-");
  }
}

}  // namespace

int main(int argc, char** argv) {
  int nRounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  qm::unique_schandle hManager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!hManager) {
    std::fprintf(stderr, "OpenSCManager failed: %lu\n", ::GetLastError());
    return 1;
  }
  std::vector<Round> floor;
  std::vector<Round> runner;
  for (int i = 0; i < nRounds; ++i) {
    // Interleaved, so that a slow moment of the machine hits both alike.
    Round round;
    if (!RunRound(hManager.get(), false, i, round)) return 1;
    floor.push_back(round);
    if (!RunRound(hManager.get(), true, i, round)) return 1;
    runner.push_back(round);
  }
  std::printf("service runner against a service that does nothing (median of %d rounds)\n",
              nRounds);
  std::printf("%-36s %10s %10s %9s\n", "", "floor", "runner", "ratio");
  PrintRow("StartService to running (ms)", Median(floor, &Round::dStartMs),
           Median(runner, &Round::dStartMs));
  PrintRow("StartService to program running (ms)", Median(floor, &Round::dStartMs),
           Median(runner, &Round::dProgramMs));
  PrintRow("stop request to stopped (ms)", Median(floor, &Round::dStopMs),
           Median(runner, &Round::dStopMs));
  PrintRow("peak working set (KiB)", Median(floor, &Round::dPeakKiB),
           Median(runner, &Round::dPeakKiB));
  return 0;
}
