// help: every command's usage, or one command's with its help.

#include "cli/command_table.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/usage.h"

namespace qm::cli {

int RunHelp(CommandContext& context, const ParsedCommand& cmd) {
  if (cmd.strTopic.empty()) {
    context.console.Out(FullUsage());
    return kExitOk;
  }
  const CommandEntry* pCommand = FindCommand(cmd.strTopic);
  if (pCommand == nullptr) {
    context.console.Err("quillmnt: unknown command \"" + cmd.strTopic + "\"");
    context.console.Err(ShortUsage());
    return kExitUsage;
  }
  context.console.Out(CommandUsage(*pCommand));
  return kExitOk;
}

}  // namespace qm::cli
