// start: one request, then a bounded wait until the service runs (for a service with a
// ReadyCheck: until its program is ready).

#include <string>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/service_access.h"
#include "cli/service_wait.h"
#include "cli/status_report.h"
#include "cli/stored_parameters.h"

namespace qm::cli {

namespace {

// The runner's values the wait depends on, as the runner reads them (defaults where a value
// is missing or cannot be read: the runner would refuse such a start quickly anyway).
std::uint32_t DefaultWaitSeconds(CommandContext& context, const std::string& strName) {
  namespace value = contract::value;
  runner::RunnerSettings settings;
  CStoredParameters stored(context.registry, context.system);
  if (stored.Open(strName) == platform::kErrorSuccess) {
    for (const char* pszName : {value::kReadyCheck, value::kReadyTimeout, value::kStopTimeout}) {
      runner::RunnerFailure failure;
      runner::ReadRunnerValue(stored, *contract::FindRunnerValue(pszName), &settings, &failure);
    }
  }
  return StartWaitSeconds(settings);
}

}  // namespace

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
  const std::uint32_t dwTimeoutSeconds =
      cmd.timeoutSeconds ? *cmd.timeoutSeconds : DefaultWaitSeconds(context, cmd.strName);
  const bool bSettled =
      WaitWhile(context, service.get(), platform::kServiceStartPending, dwTimeoutSeconds, &status);
  if (bSettled && status.currentState == platform::kServiceRunning) {
    context.console.Out(cmd.strName + ": running");
    return kExitOk;
  }
  if (!bSettled && status.currentState == platform::kServiceStartPending) {
    ReportStatus(context, cmd.strName, status);
    return Fail(context, cmd.strName + " is still starting after " +
                             std::to_string(dwTimeoutSeconds) + " s.");
  }
  ReportStatus(context, cmd.strName, status);
  return Fail(context, cmd.strName + " did not start.");
}

}  // namespace qm::cli
