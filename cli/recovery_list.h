#pragma once
// The Recovery setting: the service manager's failure actions as one line,
// "restart/60000,restart/60000,none" (each action and its delay in milliseconds, one a failure
// in a row, the last repeated), and back. "none" alone is no action at all, the manager's own
// default.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace qm::cli {

// RecoveryReset's default: the failure count goes back to 0 after a day without failures.
inline constexpr std::uint32_t kDefaultRecoveryResetSeconds = 86400;
inline constexpr const char* kNoRecovery = "none";

// Reads a list (words in any letter case, blanks around the entries allowed); the period is
// left to the caller. False with a one-line reason.
bool ParseRecovery(std::string_view text, platform::FailureActions* actions, std::string* error);
// The list as ParseRecovery reads it, in its one spelling: "none" for no action.
std::string RecoveryText(const platform::FailureActions& actions);
// Whether the list reboots the machine (which needs the shutdown privilege to be set).
bool HasReboot(const platform::FailureActions& actions);

}  // namespace qm::cli
