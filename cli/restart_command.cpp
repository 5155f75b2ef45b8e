// restart: stop, waiting until the service has stopped, then start.

#include "cli/commands.h"
#include "cli/exit_codes.h"

namespace qm::cli {

int RunRestart(CommandContext& context, const ParsedCommand& cmd) {
  const int nStopped = StopBeforeRestart(context, cmd);
  return nStopped == kExitOk ? RunStart(context, cmd) : nStopped;
}

}  // namespace qm::cli
