#pragma once
// The watch over one run of the program: its readiness and health checks (the probes on the
// probe thread, what the program says on the notify pipe and in its output), the state they
// show in the published record, and what of it the keeper must act on. The decisions are
// runner/core/run_checks.h; this waits, probes, listens and publishes.

#include <windows.h>

#include <string>
#include <vector>

#include "runner/core/run_checks.h"
#include "runner/core/runner_failure.h"
#include "runner/notify_pipe.h"
#include "runner/output_capture.h"
#include "runner/probe_thread.h"
#include "runner/state_publisher.h"

namespace qm::runner {

// What Watch returns.
enum class RunEvent {
  kStopAsked,  // a stop or shutdown request
  kEnded,      // the program ended by itself
  kProgress,   // the wait for readiness went on a round: the start has made progress
  kReady,      // the program is ready (at once without a ReadyCheck)
  kNotReady,   // its ReadyCheck did not pass within ReadyTimeout
  kUnhealthy,  // its HealthCheck failed HealthRetries times in a row
};

// What the watch shares with the service shell and the keeper, all owned there.
struct RunWatchContext {
  const std::string& strName;
  CStatePublisher& publisher;
  COutputCapture& output;
  HANDLE hStopEvent;  // set when a stop was asked for
};

class CRunWatch {
 public:
  CRunWatch(const RunWatchContext& context, const CheckSettings& settings);

  // Makes what every run uses: the notify pipe when a check listens to it, its name added to
  // the program's environment entries. False with the failure.
  bool Open(std::vector<std::string>* pEnvironment, RunnerFailure* pFailure);
  // A run is about to start: what the last one left is forgotten.
  void BeforeStart();
  // A run has started: its process id, its job, and the folder and environment an exec: check
  // runs in. Publishes the run's state.
  void Begin(DWORD dwProcessId, HANDLE hJob, std::string strDirectory,
             const std::string& strEnvironment);
  // Watches the run until something for the shell or the keeper happens: probing, listening,
  // publishing meanwhile.
  RunEvent Watch(HANDLE hProcess);
  // The run is over for the checks: nothing is awaited from it any more.
  void End();

  const CRunChecks& Checks() const { return m_checks; }
  bool WaitsForReady() const { return m_checks.Settings().ready.kind != ProbeKind::kNone; }

 private:
  // A verdict of the checks: the event it makes, if any.
  bool OnVerdict(CheckVerdict verdict, RunEvent* pEvent);
  void OnNotifyMessage(const NotifyMessage& message, RunEvent* pEvent, bool* pbEvent);
  void PublishChecks();

  RunWatchContext m_context;
  CRunChecks m_checks;
  CProbeThread m_prober;
  CNotifyPipe m_notify;
  bool m_bNotify = false;                // a check listens to the notify pipe
  bool m_bReadyNews = false;             // the run is ready from its start: Watch says so first
  std::uint64_t m_ullStartFileTime = 0;  // when the run was started, UTC
};

}  // namespace qm::runner
