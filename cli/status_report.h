#pragma once
// What status prints of a service, and who its runner is: the owner its published record must
// have (status and list believe nothing else).

#include <string>

#include "cli/command_context.h"
#include "cli/runner_owner.h"

namespace qm::cli {

// Who the service's runner is; an account that cannot be read is left empty, which stands for
// LocalSystem.
RunnerAccount RunnerAccountOf(CommandContext& context, const std::string& strName);

// Prints "name: state (...)" with the runner's view when the status names the service's
// process; returns the status exit code.
int ReportStatus(CommandContext& context, const std::string& strName,
                 const platform::ServiceStatus& status);

}  // namespace qm::cli
