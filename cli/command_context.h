#pragma once
// What every command works with: the seams it reaches the system through, the window's own
// Install and Remove, and the console it reads passwords from and writes to.
// cli/command_line_tool.h makes one.

#include <cstdint>
#include <string>

#include "cli/apply_input.h"
#include "cli/batch_code_page.h"
#include "cli/console.h"
#include "cli/password_input.h"
#include "cli/runner_view.h"
#include "cli/utf8_code_page.h"
#include "platform/account_rights.h"
#include "platform/platform.h"
#include "service/service_commands.h"

namespace qm::cli {

struct CommandContext {
  platform::IServiceManager& scm;
  platform::IRegistry& registry;
  platform::ISystem& system;
  platform::IAccountRights& rights;
  IRunnerView& runnerView;
  IBatchCodePage& batchCodePage;
  IUtf8CodePage& utf8CodePage;
  IApplyInput& applyInput;
  IPasswordInput& passwordInput;
  IConsole& console;
  svc::CServiceCommands& commands;
  const char* pszVersion;
};

// The same seams with another console.
CommandContext WithConsole(const CommandContext& context, IConsole& console);

// The last error as one line; a system error code as one line.
std::string ErrorText(CommandContext& context);
std::string ErrorText(CommandContext& context, std::uint32_t dwCode);
// Writes one line of failure; returns the failure exit code.
int Fail(CommandContext& context, const std::string& strText);

}  // namespace qm::cli
