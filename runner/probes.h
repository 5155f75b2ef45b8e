#pragma once
// The probes of the ReadyCheck and HealthCheck kinds the runner makes itself (tcp:, http(s)://,
// file:, pipe:, exec:), each one call that ends within its timeout and says what it saw.
// They run on the probe thread (runner/probe_thread.h); a probe that can wait on the network
// or on a process also ends at once when hCancel is set.

#include <windows.h>

#include <cstdint>
#include <string>

#include "runner/core/probe_target.h"

namespace qm::runner {

struct ProbeAnswer {
  bool bPassed = false;
  std::string strSeen;  // what a failed probe saw: "connection refused", "HTTP 503"
};

// Where an exec: check runs, as the program does: in its job, its folder and its environment
// (an empty block: the runner's own).
struct ExecPlace {
  HANDLE hJob = nullptr;
  std::string strDirectory;
  std::string strEnvironment;
  std::uint64_t ullRunStart = 0;  // FILETIME, UTC: a file: check's file must be newer
};

ProbeAnswer ProbeTcp(const ProbeTarget& target, DWORD dwTimeoutMs, HANDLE hCancel);
// WinHTTP, without a proxy, following no redirect; a certificate it does not trust fails.
ProbeAnswer ProbeHttp(const ProbeTarget& target, DWORD dwTimeoutMs);
// A relative path is taken from the program's folder (place.strDirectory). A file last
// written before the run started (less a FAT volume's 2 s) is one an earlier run left behind
// (a pid file of a program that crashed): it does not count.
ProbeAnswer ProbeFile(const ProbeTarget& target, const ExecPlace& place);
ProbeAnswer ProbePipe(const ProbeTarget& target);
ProbeAnswer ProbeExec(const ProbeTarget& target, DWORD dwTimeoutMs, const ExecPlace& place,
                      HANDLE hCancel);

// A system error as a probe tells it: a short phrase for the common ones, else the system's
// text.
std::string ProbeErrorText(DWORD dwError);

}  // namespace qm::runner
