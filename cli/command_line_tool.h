#pragma once
// The command line: parses one command against the command table, refuses an administrator's
// command without the rights, and runs the command's own code over the same service seam and
// the same Install and Remove commands as the window. Results go to standard output, failures
// to standard error, and the exit code tells a script what happened.

#include <cstddef>
#include <string_view>
#include <vector>

#include "cli/apply_input.h"
#include "cli/batch_code_page.h"
#include "cli/command_context.h"
#include "cli/console.h"
#include "cli/password_input.h"
#include "cli/runner_view.h"
#include "cli/utf8_code_page.h"
#include "platform/platform.h"
#include "service/service_commands.h"

namespace qm::cli {

class CCommandLineTool {
 public:
  CCommandLineTool(platform::IServiceManager& scm, platform::IRegistry& registry,
                   platform::ISystem& system, platform::IAccountRights& rights,
                   IRunnerView& runnerView, IBatchCodePage& batchCodePage,
                   IUtf8CodePage& utf8CodePage, IApplyInput& applyInput,
                   IPasswordInput& passwordInput, IConsole& console, const char* pszVersion);

  // Runs one whole command line (program name first); returns the exit code. unrepresentable:
  // the places in the line of characters that the system's ANSI code page could not hold
  // (each stands there as a replacement); an argument with one is refused.
  int Run(std::string_view commandLine,
          const std::vector<std::size_t>& unrepresentable = std::vector<std::size_t>());

 private:
  platform::ServicePlatform m_platform;
  svc::CServiceCommands m_commands;
  CommandContext m_context;
};

}  // namespace qm::cli
