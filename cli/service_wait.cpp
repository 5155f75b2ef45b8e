#include "cli/service_wait.h"

#include <algorithm>

#include "cli/parsed_command.h"

namespace qm::cli {

std::uint32_t StartWaitSeconds(const runner::RunnerSettings& settings) {
  if (settings.strReadyCheck.empty()) return kDefaultTimeoutSeconds;
  const std::uint64_t qwMs =
      std::uint64_t{settings.dwReadyTimeoutMs} + settings.dwStopTimeoutMs + 5000 + 999;
  const std::uint64_t qwSeconds = qwMs / 1000;
  return static_cast<std::uint32_t>(
      std::clamp<std::uint64_t>(qwSeconds, kDefaultTimeoutSeconds, kMaxTimeoutSeconds));
}

bool WaitWhile(CommandContext& context, platform::Handle hService, std::uint32_t dwPending,
               std::uint32_t dwTimeoutSeconds, platform::ServiceStatus* status) {
  const std::uint64_t qwLimitMs = static_cast<std::uint64_t>(dwTimeoutSeconds) * 1000;
  std::uint64_t qwWaitedMs = 0;
  for (;;) {
    if (!context.scm.QueryServiceStatus(hService, status)) return false;
    if (status->currentState != dwPending) return true;
    if (qwWaitedMs >= qwLimitMs) return false;
    context.system.Sleep(kPollMs);
    qwWaitedMs += kPollMs;
  }
}

}  // namespace qm::cli
