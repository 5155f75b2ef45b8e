#include "cli/command_context.h"

#include "cli/exit_codes.h"
#include "service/error_text.h"

namespace qm::cli {

std::string ErrorText(CommandContext& context) {
  char szError[svc::kErrorTextCapacity];
  return svc::GetSystemErrorText(context.system, szError, sizeof(szError));
}

std::string ErrorText(CommandContext& context, std::uint32_t dwCode) {
  context.system.SetLastError(dwCode);
  return ErrorText(context);
}

int Fail(CommandContext& context, const std::string& strText) {
  context.console.Err(strText);
  return kExitFailure;
}

}  // namespace qm::cli
