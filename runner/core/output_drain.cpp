#include "runner/core/output_drain.h"

namespace qm::runner {

std::uint32_t PlanOutputWait(std::uint32_t stopTimeoutMs, bool bStopAsked,
                             std::uint64_t sinceStopAskedMs) {
  std::uint64_t left = stopTimeoutMs;
  if (bStopAsked) left = sinceStopAskedMs < stopTimeoutMs ? stopTimeoutMs - sinceStopAskedMs : 0;
  return left > kOutputAfterEndMs ? static_cast<std::uint32_t>(left) : kOutputAfterEndMs;
}

}  // namespace qm::runner
