#pragma once
// The service's pre-shutdown timeout follows its StopTimeout (service/preshutdown_timeout.h):
// set and reset of StopTimeout, and apply, write it through the Service Control Manager.

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/command_context.h"
#include "contract/runner_contract.h"

namespace qm::cli {

inline bool IsStopTimeout(const contract::RunnerValue& value) {
  return value.pszName == std::string_view(contract::value::kStopTimeout);
}

// Sets the pre-shutdown timeout that StopTimeout dwStopTimeoutMs needs; false, and said why,
// when the manager refuses.
bool SetPreshutdownTimeout(CommandContext& context, const std::string& strName,
                           std::uint32_t dwStopTimeoutMs);

}  // namespace qm::cli
