#include "cli/command_line_tool.h"

#include <optional>
#include <string>

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/usage.h"
#include "common/ascii_case.h"

namespace qm::cli {

namespace {

// The first argument after the program's path that holds one of the places (ascending).
std::optional<std::string> ArgumentHolding(std::string_view line,
                                           const std::vector<std::size_t>& places) {
  if (places.empty()) return std::nullopt;
  const std::vector<Token> tokens = SplitCommandLine(line);
  if (tokens.size() < 2) return std::nullopt;
  for (std::size_t nAt : places) {
    if (nAt < tokens[1].nBegin) continue;
    std::size_t i = 1;
    while (i + 1 < tokens.size() && tokens[i + 1].nBegin <= nAt) ++i;
    // A password after "Account <account>" is never shown, not even in part.
    if (i >= 2 && EqualsIgnoringCase(tokens[i - 2].strText, "Account")) {
      return std::string("the password");
    }
    return tokens[i].strText;
  }
  return std::nullopt;
}

}  // namespace

CCommandLineTool::CCommandLineTool(platform::IServiceManager& scm, platform::IRegistry& registry,
                                   platform::ISystem& system, platform::IAccountRights& rights,
                                   IRunnerView& runnerView, IBatchCodePage& batchCodePage,
                                   IUtf8CodePage& utf8CodePage, IApplyInput& applyInput,
                                   IPasswordInput& passwordInput, IConsole& console,
                                   const char* pszVersion)
    : m_platform{scm, registry, system},
      m_commands(m_platform),
      m_context{scm,          registry,   system,        rights,  runnerView, batchCodePage,
                utf8CodePage, applyInput, passwordInput, console, m_commands, pszVersion} {}

int CCommandLineTool::Run(std::string_view commandLine,
                          const std::vector<std::size_t>& unrepresentable) {
  IConsole& console = m_context.console;
  // Stored as it arrived, such a name would be another text (every Cyrillic name becomes
  // "???"), so nothing is done at all. The program's own path does not count.
  if (const auto argument = ArgumentHolding(commandLine, unrepresentable)) {
    const std::string strWhat = *argument == "the password" ? *argument : "\"" + *argument + "\"";
    console.Err("quillmnt: " + strWhat +
                " holds characters that this system's ANSI code page cannot represent "
                "(shown as ?); Quillmont keeps names and values in that code page.");
    return kExitUsage;
  }
  const ParseResult parsed = ParseCommandLine(commandLine);
  if (!parsed.bOk) {
    console.Err("quillmnt: " + parsed.strError);
    console.Err(ShortUsage());
    return kExitUsage;
  }
  if (parsed.pCommand->bNeedsAdministrator && !m_context.system.IsElevated()) {
    console.Err(
        "quillmnt: this command needs administrator rights; run it from an elevated prompt.");
    return kExitFailure;
  }
  return parsed.pCommand->pfnRun(m_context, parsed.command);
}

}  // namespace qm::cli
