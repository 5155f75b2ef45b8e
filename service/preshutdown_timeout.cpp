#include "service/preshutdown_timeout.h"

#include <algorithm>

#include "contract/runner_contract.h"

namespace qm::svc {

std::uint32_t PreshutdownTimeoutMs(std::uint32_t stopTimeoutMs) {
  const std::uint32_t stop = std::min(stopTimeoutMs, contract::kMaxStopTimeoutMs);
  return std::max(stop + kPreshutdownMarginMs, kPreshutdownFloorMs);
}

}  // namespace qm::svc
