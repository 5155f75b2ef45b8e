#include "cli/command_context.h"

#include "cli/exit_codes.h"
#include "platform/error_text.h"

namespace qm::cli {

CommandContext WithConsole(const CommandContext& context, IConsole& console) {
  return {context.scm,           context.registry,
          context.system,        context.rights,
          context.runnerView,    context.batchCodePage,
          context.utf8CodePage,  context.applyInput,
          context.passwordInput, console,
          context.commands,      context.pszVersion};
}

std::string ErrorText(CommandContext& context) {
  return platform::LastErrorText(context.system);
}

std::string ErrorText(CommandContext& context, std::uint32_t dwCode) {
  return platform::SystemErrorText(context.system, dwCode);
}

int Fail(CommandContext& context, const std::string& strText) {
  context.console.Err(strText);
  return kExitFailure;
}

}  // namespace qm::cli
