#pragma once
// The program's runs within one service run: each start, the watch over a run (its readiness
// and health checks, what the program says on the notify pipe), the stop sequence on request,
// what the program left running once it ended, and what follows its own end or a run that
// failed its checks (a start again after the back-off, or the end of the service). The service
// shell (CRunnerService) owns what the manager sees; this reports only the progress of a stop
// and publishes the program's state.

#include <windows.h>

#include <atomic>
#include <string>

#include "runner/child_process.h"
#include "runner/core/restart_policy.h"
#include "runner/core/run_checks.h"
#include "runner/core/runner_settings.h"
#include "runner/core/service_exit.h"
#include "runner/output_capture.h"
#include "runner/run_watch.h"
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
  // Takes the restart policy, the checks, the environment and the priority from the checked
  // settings.
  explicit CKeepAlive(const KeepAliveContext& context);

  // Makes what every run uses (the notify pipe when a check listens to it); false with the
  // failure.
  bool Open(RunnerFailure* pFailure);
  // Starts the program; false with the failure.
  bool Start(RunnerFailure* pFailure);
  // Whether a run is ready only once its ReadyCheck passes.
  bool WaitsForReady() const { return m_watch.WaitsForReady(); }
  // The wait hint of a start that waits for readiness.
  DWORD ReadyWaitHintMs() const { return runner::ReadyWaitHintMs(m_watch.Checks().Settings()); }

  // Watches the run (probing, listening, publishing) until something for the shell happens.
  RunEvent Watch() { return m_watch.Watch(m_child.Process()); }

  // A stop was asked for: the stop sequence for the program and everything it started.
  // Returns the exit the service reports.
  ServiceExit Stop();
  // The program ended by itself: true when it was started again after the back-off, else
  // false with how the service ends.
  bool AfterExit(ServiceEnd* pEnd);
  // The first run ended before it was ready (kEnded), or was not ready in time (kNotReady):
  // the program and what it started are stopped, and the service ends with the exit returned.
  ServiceExit FailStart(RunEvent why);
  // A later run failed its checks (kNotReady, kUnhealthy): one event, the stop sequence for
  // the program and everything it started, then the restart policy as for a failed program.
  // As AfterExit.
  bool AfterFailedRun(RunEvent why, ServiceEnd* pEnd);

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
  // The stop sequence for the program itself and everything it started, the service going on
  // (bStopping: or not); ends with nothing of the run left.
  void EndRun(bool bStopping);
  // Nothing of the ended run is left: the back-off's delay, then a new start, unless a stop
  // comes first. As AfterExit.
  bool Restart(DWORD dwCode, DWORD dwDelayMs, DWORD dwRestartsInRow, ServiceEnd* pEnd);

  KeepAliveContext m_context;
  CChildProcess m_child;
  CRestartBackoff m_backoff;
  CRunWatch m_watch;
  ULONGLONG m_ullStopBegan = 0;
};

}  // namespace qm::runner
