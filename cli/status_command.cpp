// status: the service's state and the runner's view of its program, in one line and the exit
// code.

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/service_access.h"
#include "cli/status_report.h"

namespace qm::cli {

int RunStatus(CommandContext& context, const ParsedCommand& cmd) {
  platform::CScHandle manager;
  platform::CScHandle service;
  if (!OpenService(context, cmd.strName, platform::kServiceQueryStatus, &manager, &service)) {
    return kExitFailure;
  }
  platform::ServiceStatus status;
  if (!context.scm.QueryServiceStatusEx(service.get(), &status)) {
    return Fail(context, "Could not query " + cmd.strName + ". " + ErrorText(context));
  }
  return ReportStatus(context, cmd.strName, status, cmd.bJson);
}

}  // namespace qm::cli
