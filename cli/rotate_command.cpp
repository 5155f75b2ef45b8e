// rotate: asks the running runner to start new output files now.

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/service_access.h"
#include "cli/stored_parameters.h"
#include "contract/runner_contract.h"
#include "runner/core/output_route.h"

namespace qm::cli {

namespace {

// Whether the stored settings hand the program its output files to write itself: the runner
// then holds no file it could rotate. Settings that cannot be read leave it to the runner.
bool WritesFilesDirectly(CommandContext& context, const std::string& strName) {
  CStoredParameters stored(context.registry, context.system);
  if (stored.Open(strName) != platform::kErrorSuccess) return false;
  runner::RunnerSettings settings;
  runner::RunnerFailure failure;
  return runner::ReadRunnerSettings(stored, &settings, &failure) &&
         runner::RouteOutput(settings) == runner::OutputRoute::kDirect;
}

}  // namespace

int RunRotate(CommandContext& context, const ParsedCommand& cmd) {
  platform::CScHandle manager;
  platform::CScHandle service;
  if (!OpenService(context, cmd.strName,
                   platform::kServiceUserDefinedControl | platform::kServiceQueryStatus, &manager,
                   &service)) {
    return kExitFailure;
  }
  if (WritesFilesDirectly(context, cmd.strName)) {
    return Fail(context, cmd.strName +
                             "'s program writes its output files itself: rotation needs a "
                             "rotation setting (RotateBytes or RotateDaily).");
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
