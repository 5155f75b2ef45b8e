#pragma once
// Whether the runner starts the program again after it ended by itself, how long it waits
// first, and when it gives up. The wait doubles after each short run up to a cap, so a
// program that fails at once, forever, costs one start per cap; a good run (one that lasted
// the cap, and at least kGoodRunFloorMs) starts the back-off and the count afresh.

#include <cstdint>

#include "contract/runner_contract.h"

namespace qm::runner {

enum class RestartMode { kOnFailure, kAlways, kNever };

struct RestartSettings {
  RestartMode mode = RestartMode::kOnFailure;
  std::uint32_t dwDelayMs = contract::kDefaultRestartDelayMs;
  std::uint32_t dwDelayMaxMs = contract::kDefaultRestartDelayMaxMs;
  std::uint32_t dwLimit = contract::kDefaultRestartLimit;  // 0: no limit
};

enum class AfterExit {
  kStop,     // the mode wants no restart: the service stops with the program's exit code
  kRestart,  // start the program again after dwDelayMs
  kGiveUp    // the limit is reached: the service stops as failed
};

struct RestartDecision {
  AfterExit action = AfterExit::kStop;
  std::uint32_t dwDelayMs = 0;
  // kRestart: the number of this restart since the last good run; kGiveUp: how many there were.
  std::uint32_t dwRestartsInRow = 0;
};

// The least a run must last to count as good, whatever the cap: with a cap of a few
// milliseconds, every run would count as good, and a program that fails a second after each
// start would be restarted forever despite the limit. Ten seconds is also how long the stop
// treats a program as still starting up.
constexpr std::uint32_t kGoodRunFloorMs = 10000;

// How long a run must last to count as good: the cap, and at least the floor.
std::uint32_t GoodRunMs(const RestartSettings& settings);

// The longest wait the runner makes in one piece; longer delays are cut to it (a wait of
// 0xFFFFFFFF ms would never end).
constexpr std::uint32_t kMaxRestartDelayMs = 0xFFFFFFFEu;

class CRestartBackoff {
 public:
  explicit CRestartBackoff(const RestartSettings& settings);

  // The program ended by itself with exitCode after running runMs.
  RestartDecision OnProgramEnded(std::uint32_t exitCode, std::uint64_t runMs);
  // The runner ended a run that failed its checks (not ready in time, unhealthy) after it ran
  // well for runMs: a failure whatever its exit code, so Never stops the service (kStop) and
  // OnFailure restarts it as Always does.
  RestartDecision OnRunFailed(std::uint64_t runMs);
  const RestartSettings& Settings() const { return m_settings; }

 private:
  // A restart is wanted: its delay, or giving up at the limit.
  RestartDecision Next(std::uint64_t runMs);

  RestartSettings m_settings;
  std::uint32_t m_dwNextDelayMs;
  std::uint32_t m_dwRestartsInRow = 0;
};

}  // namespace qm::runner
