#pragma once
// The settings that shape every start of the program (restart policy, environment, priority),
// checked as read from the Parameters key. Nothing is guessed: a word the runner does not know
// or an entry it cannot place stops the start with a description that names the value.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/runner_contract.h"
#include "runner/core/restart_policy.h"

namespace qm::runner {

enum class ProcessPriority { kIdle, kBelowNormal, kNormal, kAboveNormal, kHigh };

// The values as stored (defaults when missing).
struct RunSettingValues {
  std::string strRestart = contract::kDefaultRestart;
  std::uint32_t dwRestartDelayMs = contract::kDefaultRestartDelayMs;
  std::uint32_t dwRestartDelayMaxMs = contract::kDefaultRestartDelayMaxMs;
  std::uint32_t dwRestartLimit = contract::kDefaultRestartLimit;
  std::vector<std::string> environment;  // the Environment value's entries, in order
  std::string strPriority = contract::kDefaultPriority;
};

struct RunSettings {
  RestartSettings restart;
  ProcessPriority priority = ProcessPriority::kNormal;
};

// Case-insensitive; false for any other word.
bool ParseRestartMode(std::string_view word, RestartMode& mode);
bool ParsePriority(std::string_view word, ProcessPriority& priority);

// Fills settings from values; on a refused value returns false with a description for the
// event log ("the Restart value ... is not one of ...").
bool MakeRunSettings(const RunSettingValues& values, RunSettings& settings,
                     std::string& strProblem);

}  // namespace qm::runner
