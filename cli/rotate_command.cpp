// rotate: asks the running runner to start new output files now.

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/service_access.h"
#include "contract/runner_contract.h"

namespace qm::cli {

int RunRotate(CommandContext& context, const ParsedCommand& cmd) {
  platform::CScHandle manager;
  platform::CScHandle service;
  if (!OpenService(context, cmd.strName,
                   platform::kServiceUserDefinedControl | platform::kServiceQueryStatus, &manager,
                   &service)) {
    return kExitFailure;
  }
  platform::ServiceStatus status;
  if (!context.scm.ControlService(service.get(), contract::kControlRotate, &status)) {
    return Fail(context, "Could not ask " + cmd.strName + " to rotate its output files. " +
                             ErrorText(context));
  }
  context.console.Out(cmd.strName + ": rotation requested");
  return kExitOk;
}

}  // namespace qm::cli
