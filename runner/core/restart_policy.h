#pragma once
// Whether the runner starts the program again after it ended by itself, how long it waits
// first, and when it gives up. The wait doubles after each short run up to a cap, so a
// program that fails at once, forever, costs one start per cap; a run that lasted the cap
// counts as a success and starts the back-off afresh.

#include <cstdint>

#include "common/runner_contract.h"

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
  // kRestart: the number of this restart since the last long run; kGiveUp: how many there were.
  std::uint32_t dwRestartsInRow = 0;
};

// The longest wait the runner makes in one piece; longer delays are cut to it (a wait of
// 0xFFFFFFFF ms would never end).
constexpr std::uint32_t kMaxRestartDelayMs = 0xFFFFFFFEu;

class CRestartBackoff {
 public:
  explicit CRestartBackoff(const RestartSettings& settings);

  // The program ended by itself with exitCode after running runMs.
  RestartDecision OnProgramEnded(std::uint32_t exitCode, std::uint64_t runMs);

 private:
  RestartSettings m_settings;
  std::uint32_t m_dwNextDelayMs;
  std::uint32_t m_dwRestartsInRow = 0;
};

}  // namespace qm::runner
