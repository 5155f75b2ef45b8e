#pragma once
// What status prints of a service, and who its runner is: the owner its published record must
// have (status and list believe nothing else).

#include <string>

#include "cli/command_context.h"
#include "cli/runner_owner.h"
#include "cli/status_json.h"
#include "cli/status_line.h"

namespace qm::cli {

// Who the service's runner is; an account that cannot be read is left empty, which stands for
// LocalSystem.
RunnerAccount RunnerAccountOf(CommandContext& context, const std::string& strName);

// The runner's view of its program when the status names the service's process.
RunnerView ReadRunnerView(CommandContext& context, const std::string& strName,
                          const platform::ServiceStatus& status);

// The runner's texts for a JSON document, through the context's code page.
AnsiToUtf8 JsonTextOf(CommandContext& context);

// Prints "name: state (...)" with the runner's view, or (bJson) the same as one JSON object
// (cli/status_json.h); returns the status exit code.
int ReportStatus(CommandContext& context, const std::string& strName,
                 const platform::ServiceStatus& status, bool bJson = false);

}  // namespace qm::cli
