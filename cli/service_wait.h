#pragma once
// The bounded wait of start, stop and restart for a service to leave a pending state.

#include <cstdint>

#include "cli/command_context.h"

namespace qm::cli {

// How often the service is looked at while it is waited for.
inline constexpr std::uint32_t kPollMs = 250;

// Waits until the service leaves dwPending or the timeout ends; false at the timeout, or
// when its status cannot be read. *status: the last status read.
bool WaitWhile(CommandContext& context, platform::Handle hService, std::uint32_t dwPending,
               std::uint32_t dwTimeoutSeconds, platform::ServiceStatus* status);

}  // namespace qm::cli
