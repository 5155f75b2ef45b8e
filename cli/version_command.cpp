// --version: the tool's name and version.

#include <string>

#include "cli/commands.h"
#include "cli/exit_codes.h"

namespace qm::cli {

int RunVersion(CommandContext& context, const ParsedCommand& /*cmd*/) {
  context.console.Out(std::string("quillmnt ") + context.pszVersion);
  return kExitOk;
}

}  // namespace qm::cli
