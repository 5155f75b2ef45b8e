#pragma once
// Opening a service for a command: the manager and the service with the rights asked, or one
// line that says why not; and, for the commands that edit, whether this tool installed it.

#include <cstdint>
#include <string>

#include "cli/command_context.h"
#include "platform/platform_handles.h"

namespace qm::cli {

// Opens the manager and the service with dwAccess; on failure says why and returns false.
bool OpenService(CommandContext& context, const std::string& strName, std::uint32_t dwAccess,
                 platform::CScHandle* manager, platform::CScHandle* service);
// The same with the manager open already (hManager), for a command that opens many services.
bool OpenService(CommandContext& context, platform::Handle hManager, const std::string& strName,
                 std::uint32_t dwAccess, platform::CScHandle* service);
// The service exists and this tool installed it; otherwise says why and returns false.
bool CheckOwnService(CommandContext& context, const std::string& strName);

}  // namespace qm::cli
