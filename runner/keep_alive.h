#pragma once
// The program's runs within one service run: each start, the stop sequence on request, what
// the program left running once it ended, and what follows its own end (a start again after
// the back-off, or the end of the service). The service shell (CRunnerService) owns what the
// manager sees; this reports only the progress of a stop and publishes the program's state.

#include <windows.h>

#include <atomic>
#include <string>

#include "runner/child_process.h"
#include "runner/core/restart_policy.h"
#include "runner/core/runner_settings.h"
#include "runner/core/service_exit.h"
#include "runner/output_capture.h"
#include "runner/state_publisher.h"
#include "runner/status_reporter.h"

namespace qm::runner {

// How the service ends when a program's end ends it: with an exit code, or with a failure of
// the runner's own (reported by its event).
struct ServiceEnd {
  ServiceExit exit;
  bool bFailed = false;
  RunnerFailure failure;
};

// What the keeper shares with the service shell, all owned there.
struct KeepAliveContext {
  const std::string& strName;
  const RunnerSettings& settings;
  CStatusReporter& reporter;
  CStatePublisher& publisher;
  COutputCapture& output;
  HANDLE hStopEvent;                   // set when a stop was asked for
  const std::atomic<bool>& bShutdown;  // the system is going down
  // Held while deciding on and making a restart, and while a stop request is accepted, so that
  // no start follows a stop request.
  SRWLOCK& startLock;
};

class CKeepAlive {
 public:
  // Takes the restart policy, the environment and the priority from the checked settings.
  explicit CKeepAlive(const KeepAliveContext& context);

  // Starts the program; false with the failure.
  bool Start(RunnerFailure* pFailure);
  HANDLE Process() const { return m_child.Process(); }

  // A stop was asked for: the stop sequence for the program and everything it started.
  // Returns the exit the service reports.
  ServiceExit Stop();
  // The program ended by itself: true when it was started again after the back-off, else
  // false with how the service ends.
  bool AfterExit(ServiceEnd* pEnd);

  // When the stop that was asked for began (GetTickCount64), or 0.
  ULONGLONG StopBegan() const { return m_ullStopBegan; }

 private:
  bool StopAsked() const;
  // Asks the program (or what it left running) to end, and waits up to StopTimeout for
  // everything in its job to end, asking again while it is young; true when all has ended.
  // bStopping: the service is stopping and reports its progress.
  bool AskAndWait(bool bStopping);
  // The program has ended: what it left running is asked to end, given the StopTimeout, and
  // then ended with the job. bStopping: the service stops, and reports its progress meanwhile.
  void EndLeftovers(bool bStopping);
  // The program ended and is not started again: its event, and the service's exit.
  ServiceExit EndedForGood(DWORD dwCode);

  KeepAliveContext m_context;
  CChildProcess m_child;
  CRestartBackoff m_backoff;
  ULONGLONG m_ullStartedAt = 0;
  ULONGLONG m_ullStopBegan = 0;
};

}  // namespace qm::runner
