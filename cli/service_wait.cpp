#include "cli/service_wait.h"

namespace qm::cli {

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
