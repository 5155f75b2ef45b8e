// rotate: asks the running runner to start new output files now.

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/service_access.h"
#include "common/runner_contract.h"

namespace qm::cli {

int RunRotate(CommandContext& context, const ParsedCommand& cmd) {
  svc::CScHandle manager;
  svc::CScHandle service;
  if (!OpenService(context, cmd.strName, svc::kServiceUserDefinedControl | svc::kServiceQueryStatus,
                   &manager, &service)) {
    return kExitFailure;
  }
  svc::ServiceStatus status;
  if (!context.scm.ControlService(service.get(), contract::kControlRotate, &status)) {
    return Fail(context, "Could not ask " + cmd.strName + " to rotate its output files. " +
                             ErrorText(context));
  }
  context.console.Out(cmd.strName + ": rotation requested");
  return kExitOk;
}

}  // namespace qm::cli
