#pragma once
// Every setting of a service as the machine has it, read at once: the runner's values through
// the runner's own parser (cli/stored_parameters.h), the service's own settings with the
// service opened once (cli/service_settings.h). export, get --json and apply read services so.

#include <string>

#include "cli/command_context.h"
#include "cli/setting_value.h"

namespace qm::cli {

// False, and said why, when the service or its key cannot be read. A runner value stored in a
// form the runner does not read is marked bUnreadable, not a failure: apply mends it.
// hService and pInfo: the service open already, and its configuration (see
// ServiceSettingTexts).
bool ReadServiceState(CommandContext& context, const std::string& strName, ServiceState* pState,
                      platform::Handle hService = platform::kNoHandle,
                      const platform::ServiceConfigInfo* pInfo = nullptr);

// The first unreadable value of a state said as get says it, false; true when there is none.
bool CheckReadable(CommandContext& context, const std::string& strName, const ServiceState& state);

}  // namespace qm::cli
