#pragma once
// The bounded wait of start, stop and restart for a service to leave a pending state.

#include <cstdint>

#include "cli/command_context.h"
#include "runner/core/runner_settings.h"

namespace qm::cli {

// How often the service is looked at while it is waited for.
inline constexpr std::uint32_t kPollMs = 250;

// Waits until the service leaves dwPending or the timeout ends; false at the timeout, or
// when its status cannot be read. *status: the last status read.
bool WaitWhile(CommandContext& context, platform::Handle hService, std::uint32_t dwPending,
               std::uint32_t dwTimeoutSeconds, platform::ServiceStatus* status);

// How long start waits unless --timeout says: 30 s; for a service that runs only once its
// ReadyCheck passes, long enough to see the runner's own verdict: ReadyTimeout, the stop of a
// program never ready (StopTimeout) and 5 s more.
std::uint32_t StartWaitSeconds(const runner::RunnerSettings& settings);

}  // namespace qm::cli
