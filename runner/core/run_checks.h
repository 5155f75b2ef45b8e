#pragma once
// When the runner looks at its program and what it makes of the answers, for one run at a
// time: first whether the program is ready (ReadyCheck, a probe every ReadyInterval until
// ReadyTimeout), then whether it stays healthy (HealthCheck, a probe every HealthInterval;
// HealthRetries failures in a row end the run). Probes themselves are the platform's; here
// they are numbered orders and answers, on a clock the caller passes in, so that an answer
// that comes too late (after its timeout, after a stop, from an earlier run) changes nothing.

#include <cstdint>
#include <limits>
#include <string>

#include "runner/core/probe_target.h"

namespace qm::runner {

struct CheckSettings {
  ProbeTarget ready;  // kNone: the program counts as ready once it runs
  std::uint32_t dwReadyTimeoutMs = 60000;
  std::uint32_t dwReadyIntervalMs = 250;
  ProbeTarget health;  // kNone: no health checks
  std::uint32_t dwHealthIntervalMs = 30000;
  std::uint32_t dwProbeTimeoutMs = 5000;  // HealthTimeout: the time any one probe has
  std::uint32_t dwHealthRetries = 3;
};

// A probe that has not answered this long after its own timeout has failed: the platform's
// probe ends at its timeout and says why, and is given this much to say it.
inline constexpr std::uint32_t kProbeGraceMs = 1000;

// The wait hint of a start that waits for readiness: two intervals, or an interval after the
// longest a probe may take, whichever is more, so the manager never sees a hint run out
// between two rounds.
std::uint32_t ReadyWaitHintMs(const CheckSettings& settings);

enum class CheckStage {
  kIdle,             // no run
  kWaitingForReady,  // the ReadyCheck has not passed yet
  kReady,            // ready, and healthy as far as the HealthCheck tells
  kNotReady,         // ReadyTimeout passed first: the run has failed
  kUnhealthy,        // HealthRetries failures in a row: the run has failed
};

// What an answer, a signal or time passing made of the run.
enum class CheckVerdict {
  kNone,       // nothing to show
  kReady,      // the ReadyCheck passed (at once without one)
  kNotReady,   // ReadyTimeout passed without it
  kPassed,     // a health verdict: pass (after a pass, or the first)
  kRecovered,  // a pass after failures (RecoveredFrom says how many)
  kFailed,     // a failure, fewer than HealthRetries in a row
  kUnhealthy,  // HealthRetries failures in a row
};

// What the program itself says: READY=1 and WATCHDOG=1 on the notify pipe, or a line of its
// output that holds the ReadyCheck's or the HealthCheck's text.
enum class CheckSignal { kNotifyReady, kNotifyWatchdog, kReadyLine, kHealthLine };

struct ProbeOrder {
  unsigned nId = 0;
  const ProbeTarget* pProbe = nullptr;
  std::uint32_t dwTimeoutMs = 0;
};

struct CheckTick {
  CheckVerdict verdict = CheckVerdict::kNone;
  bool bRound = false;  // a round of the wait for readiness: the start has made progress
  bool bProbe = false;  // make this probe now
  ProbeOrder probe;
};

inline constexpr std::uint64_t kNothingDue = std::numeric_limits<std::uint64_t>::max();

class CRunChecks {
 public:
  explicit CRunChecks(const CheckSettings& settings);

  // The program has started: its wait for readiness begins, or, without a ReadyCheck, it is
  // ready now (kReady).
  CheckVerdict Begin(std::uint64_t ullNowMs);
  // Whatever is due by now: a probe, a round, a timeout, a health verdict of a passive check.
  CheckTick Tick(std::uint64_t ullNowMs);
  // Milliseconds until Tick has something to do; kNothingDue.
  std::uint64_t DueInMs(std::uint64_t ullNowMs) const;
  // A probe's answer. One no longer awaited is ignored (kNone).
  CheckVerdict OnAnswer(unsigned nId, bool bPassed, const std::string& strSeen,
                        std::uint64_t ullNowMs);
  CheckVerdict OnSignal(CheckSignal signal, std::uint64_t ullNowMs);
  // The run is over (stopped, ended, given up): the probe under way is not awaited any more,
  // and nothing is due until the next Begin.
  void Abandon();

  const CheckSettings& Settings() const { return m_settings; }
  CheckStage Stage() const { return m_stage; }
  // The health failures in a row, and what the last failure (of either check) saw.
  std::uint32_t Failures() const { return m_dwFailures; }
  const std::string& LastSeen() const { return m_strSeen; }
  // Whether the HealthCheck has given a verdict in this run.
  bool HealthProbed() const { return m_bHealthProbed; }
  // After kRecovered: the failures in a row the pass ended.
  std::uint32_t RecoveredFrom() const { return m_dwRecoveredFrom; }
  // How long the run counts for the restart back-off: from readiness until its health
  // failures in a row began (or until now); 0 when it never was ready.
  std::uint64_t GoodRunMs(std::uint64_t ullNowMs) const;

 private:
  CheckVerdict BecomeReady(std::uint64_t ullNowMs);
  CheckVerdict HealthVerdict(bool bPassed, const std::string& strSeen, std::uint64_t ullNowMs);
  ProbeOrder Order(const ProbeTarget& target, std::uint32_t dwTimeoutMs, std::uint64_t ullNowMs);

  CheckSettings m_settings;
  CheckStage m_stage = CheckStage::kIdle;
  std::uint64_t m_ullReadyDeadline = 0;
  std::uint64_t m_ullReadyAt = 0;
  std::uint64_t m_ullNextDue = 0;  // the next round, probe or passive verdict
  bool m_bInFlight = false;
  unsigned m_nInFlight = 0;
  unsigned m_nLastId = 0;  // never reused, across runs too
  std::uint32_t m_dwInFlightTimeoutMs = 0;
  std::uint64_t m_ullAnswerDeadline = 0;
  std::uint32_t m_dwFailures = 0;
  std::uint64_t m_ullFailingSince = 0;
  std::uint32_t m_dwRecoveredFrom = 0;
  bool m_bHealthProbed = false;
  bool m_bSignalled = false;  // a passive health check heard the program in this interval
  bool m_bWasReady = false;
  bool m_bOver = true;  // no run, or Abandon: nothing is due
  std::string m_strSeen;
};

}  // namespace qm::runner
