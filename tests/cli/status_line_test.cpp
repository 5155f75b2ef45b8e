// The status line and its exit code for each state of the service and of its program.

#include <gtest/gtest.h>

#include "cli/exit_codes.h"
#include "cli/status_line.h"

namespace qm::cli {
namespace {

namespace st = contract::state;

constexpr std::uint64_t kNow = 134000000000000000ull;
constexpr std::uint64_t kSecond = 10000000;

// A record with what the checks tell.
contract::RunnerState Checked(contract::RunnerState state, std::uint32_t dwFlags,
                              const char* pszCheck, const char* pszSeen,
                              std::uint32_t dwFailures = 0, const char* pszSays = "") {
  state.dwCheckFlags = dwFlags;
  state.strCheck = pszCheck;
  state.strSeen = pszSeen;
  state.dwHealthFailures = dwFailures;
  state.dwHealthRetries = 3;
  state.qwWaitStarted = kNow - 12 * kSecond - 1;
  state.dwReadyTimeoutMs = 60000;
  state.strProgramStatus = pszSays;
  return state;
}

TEST(StatusLineTest, TheManagersStateFirstThenWhatTheRunnerTells) {
  const contract::RunnerState running = {st::Phase::kRunning, 1234, 1, false, 0, 0, 0};
  const contract::RunnerState rerun = {st::Phase::kRunning, 99, 1, true, 3, 2, 0};
  const contract::RunnerState waiting = {st::Phase::kRestarting, 0, 1, true, 3, 2,
                                         kNow + 4 * kSecond};
  // A part of a second left counts as a whole one; a start overdue is due now.
  const contract::RunnerState soon = {st::Phase::kRestarting, 0, 1, true, 7, 1, kNow + 1};
  const contract::RunnerState overdue = {st::Phase::kRestarting, 0, 1, true, 0, 9, kNow - kSecond};
  const contract::RunnerState stopping = {st::Phase::kStopping, 1234, 1, false, 0, 0, 0};
  const contract::RunnerState starting = {st::Phase::kStarting, 1234, 1, false, 0, 0, 0};
  const char* pszTcp = "tcp:127.0.0.1:8080";
  const char* pszHttp = "http://localhost:8080/health";
  const struct {
    std::uint32_t dwState;
    std::uint32_t dwWin32Exit;
    RunnerViewRead read;
    contract::RunnerState state;
    const char* pszLine;
    int nExit;
  } cases[] = {
      {platform::kServiceRunning, 0, RunnerViewRead::kRead, running,
       "svc: running (program running, process 1234, since 2026-12-09 03:10:22)", kExitOk},
      {platform::kServiceRunning, 0, RunnerViewRead::kRead, rerun,
       "svc: running (program running, process 99, since 2026-12-09 03:10:22, restart 2 in a "
       "row)",
       kExitOk},
      {platform::kServiceRunning, 0, RunnerViewRead::kRead, waiting,
       "svc: running (restarting: the program ended with exit code 3, next start in 4 s, "
       "restart 2 in a row)",
       kExitRestarting},
      {platform::kServiceRunning, 0, RunnerViewRead::kRead, soon,
       "svc: running (restarting: the program ended with exit code 7, next start in 1 s, "
       "restart 1 in a row)",
       kExitRestarting},
      {platform::kServiceRunning, 0, RunnerViewRead::kRead, overdue,
       "svc: running (restarting: the program ended with exit code 0, next start due now, "
       "restart 9 in a row)",
       kExitRestarting},
      {platform::kServiceRunning, 0, RunnerViewRead::kRead, stopping,
       "svc: running (the runner is stopping the program)", kExitPending},
      // The checks: what a start waits for, and how the health check fares.
      {platform::kServiceStartPending, 0, RunnerViewRead::kRead,
       Checked(starting, st::kWaitingForReady, pszTcp, "connection refused"),
       "svc: starting (waiting for tcp:127.0.0.1:8080, 12 s of 60 s: connection refused)",
       kExitPending},
      {platform::kServiceStartPending, 0, RunnerViewRead::kRead,
       Checked(starting, st::kWaitingForReady, "notify", "", 0, "loading the cache"),
       "svc: starting (waiting for notify, 12 s of 60 s; the program says: loading the cache)",
       kExitPending},
      {platform::kServiceRunning, 0, RunnerViewRead::kRead,
       Checked(running, st::kHealthChecked | st::kHealthProbed, pszHttp, ""),
       "svc: running (program running, process 1234, since 2026-12-09 03:10:22; healthy)", kExitOk},
      {platform::kServiceRunning, 0, RunnerViewRead::kRead,
       Checked(running, st::kHealthChecked, pszHttp, ""),
       "svc: running (program running, process 1234, since 2026-12-09 03:10:22; not checked "
       "yet)",
       kExitOk},
      {platform::kServiceRunning, 0, RunnerViewRead::kRead,
       Checked(running, st::kHealthChecked | st::kHealthProbed, pszHttp, "HTTP 503", 2),
       "svc: running (program running, process 1234, since 2026-12-09 03:10:22; health check "
       "failing 2 of 3: HTTP 503)",
       kExitUnhealthy},
      // Started again and not ready yet, or waiting after a run its checks ended.
      {platform::kServiceRunning, 0, RunnerViewRead::kRead,
       Checked(contract::RunnerState{st::Phase::kStarting, 99, 1, true, 3, 1, 0},
               st::kWaitingForReady, pszTcp, "connection refused"),
       "svc: running (restarting: waiting for tcp:127.0.0.1:8080, 12 s of 60 s: connection "
       "refused, process 99, restart 1 in a row)",
       kExitRestarting},
      {platform::kServiceRunning, 0, RunnerViewRead::kRead,
       Checked(waiting, st::kEndedUnhealthy, pszHttp, "HTTP 503", 3),
       "svc: running (restarting: the program failed its health check "
       "http://localhost:8080/health (HTTP 503), next start in 4 s, restart 2 in a row)",
       kExitRestarting},
      {platform::kServiceRunning, 0, RunnerViewRead::kRead,
       Checked(waiting, st::kEndedNotReady, pszTcp, "connection refused"),
       "svc: running (restarting: the program was not ready in time for tcp:127.0.0.1:8080 "
       "(connection refused), next start in 4 s, restart 2 in a row)",
       kExitRestarting},
      // Without the runner's word the service's own state decides, and the line says so.
      {platform::kServiceRunning, 0, RunnerViewRead::kAbsent, running,
       "svc: running (the runner tells nothing of the program)", kExitOk},
      {platform::kServiceRunning, 0, RunnerViewRead::kUnknownLayout, running,
       "svc: running (the runner's view of the program is in a form this tool does not know)",
       kExitOk},
      // A record made by someone else says nothing about the program, however it reads.
      {platform::kServiceRunning, 0, RunnerViewRead::kUntrusted, waiting,
       "svc: running (the runner's view of the program cannot be trusted: its record's owner is "
       "not known as the service's account)",
       kExitOk},
      // A record is never more than a detail of a running service.
      {platform::kServiceStopPending, 0, RunnerViewRead::kRead, waiting, "svc: stopping",
       kExitPending},
      {platform::kServiceStartPending, 0, RunnerViewRead::kAbsent, running, "svc: starting",
       kExitPending},
      {platform::kServiceStartPending, 0, RunnerViewRead::kRead, starting, "svc: starting",
       kExitPending},
      {platform::kServicePaused, 0, RunnerViewRead::kRead, running, "svc: paused", kExitPending},
      {platform::kServicePausePending, 0, RunnerViewRead::kAbsent, running, "svc: pausing",
       kExitPending},
      {99, 0, RunnerViewRead::kAbsent, running, "svc: in an unknown state", kExitPending},
      {platform::kServiceStopped, 0, RunnerViewRead::kRead, running, "svc: stopped", kExitStopped},
      {platform::kServiceStopped, 1066, RunnerViewRead::kAbsent, running,
       "svc: stopped (the program ended with exit code 3)", kExitStopped},
      {platform::kServiceStopped, 1077, RunnerViewRead::kAbsent, running, "svc: stopped",
       kExitStopped},
      {platform::kServiceStopped, 2, RunnerViewRead::kAbsent, running,
       "svc: stopped (the program could not be run: Not found. (0x2))", kExitStopped},
  };
  for (const auto& c : cases) {
    platform::ServiceStatus status;
    status.currentState = c.dwState;
    status.win32ExitCode = c.dwWin32Exit;
    status.serviceSpecificExitCode = 3;
    RunnerView view{c.read, c.state, {2026, 12, 9, 3, 10, 22, 0}};
    const StatusLine line = DescribeStatus("svc", status, view, kNow, "Not found. (0x2)");
    EXPECT_EQ(line.strText, c.pszLine);
    EXPECT_EQ(line.nExitCode, c.nExit) << c.pszLine;
  }
}

}  // namespace
}  // namespace qm::cli
