// stop: one request, then a bounded wait until the service has stopped.

#include <string>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/service_access.h"
#include "cli/service_wait.h"

namespace qm::cli {

namespace {

// bSaysSo: stop itself, which tells what it did and may leave the service stopping
// (--no-wait); restart's stop waits, and says nothing unless it fails.
int Stop(CommandContext& context, const ParsedCommand& cmd, bool bSaysSo) {
  platform::CScHandle manager;
  platform::CScHandle service;
  if (!OpenService(context, cmd.strName, platform::kServiceStop | platform::kServiceQueryStatus,
                   &manager, &service)) {
    return kExitFailure;
  }
  platform::ServiceStatus status;
  if (!context.scm.ControlService(service.get(), platform::kServiceControlStop, &status)) {
    const std::uint32_t dwError = context.system.GetLastError();
    if (dwError != static_cast<std::uint32_t>(platform::kErrorServiceNotActive)) {
      return Fail(context, "Could not stop " + cmd.strName + ". " + ErrorText(context, dwError));
    }
    if (bSaysSo) context.console.Out(cmd.strName + ": stopped already");
    return kExitOk;
  }
  if (cmd.bNoWait && bSaysSo) {
    context.console.Out(cmd.strName + ": stop requested");
    return kExitOk;
  }
  const std::uint32_t dwTimeoutSeconds = cmd.timeoutSeconds.value_or(kDefaultTimeoutSeconds);
  if (!WaitWhile(context, service.get(), platform::kServiceStopPending, dwTimeoutSeconds,
                 &status) ||
      status.currentState != platform::kServiceStopped) {
    return Fail(context,
                cmd.strName + " has not stopped after " + std::to_string(dwTimeoutSeconds) + " s.");
  }
  if (bSaysSo) context.console.Out(cmd.strName + ": stopped");
  return kExitOk;
}

}  // namespace

int RunStop(CommandContext& context, const ParsedCommand& cmd) {
  return Stop(context, cmd, true);
}

int StopBeforeRestart(CommandContext& context, const ParsedCommand& cmd) {
  return Stop(context, cmd, false);
}

}  // namespace qm::cli
