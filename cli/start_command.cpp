// start: one request, then a bounded wait until the service runs.

#include <string>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/service_access.h"
#include "cli/service_wait.h"
#include "cli/status_report.h"

namespace qm::cli {

int RunStart(CommandContext& context, const ParsedCommand& cmd) {
  platform::CScHandle manager;
  platform::CScHandle service;
  if (!OpenService(context, cmd.strName, platform::kServiceStart | platform::kServiceQueryStatus,
                   &manager, &service)) {
    return kExitFailure;
  }
  if (!context.scm.StartService(service.get())) {
    const std::uint32_t dwError = context.system.GetLastError();
    if (dwError != static_cast<std::uint32_t>(platform::kErrorServiceAlreadyRunning)) {
      return Fail(context, "Could not start " + cmd.strName + ". " + ErrorText(context, dwError));
    }
  }
  if (cmd.bNoWait) {
    context.console.Out(cmd.strName + ": start requested");
    return kExitOk;
  }
  platform::ServiceStatus status;
  const bool bSettled = WaitWhile(context, service.get(), platform::kServiceStartPending,
                                  cmd.dwTimeoutSeconds, &status);
  if (bSettled && status.currentState == platform::kServiceRunning) {
    context.console.Out(cmd.strName + ": running");
    return kExitOk;
  }
  if (!bSettled && status.currentState == platform::kServiceStartPending) {
    return Fail(context, cmd.strName + " is still starting after " +
                             std::to_string(cmd.dwTimeoutSeconds) + " s.");
  }
  ReportStatus(context, cmd.strName, status);
  return Fail(context, cmd.strName + " did not start.");
}

}  // namespace qm::cli
