// The command line's entry: the line checked and parsed, the administrator's commands
// refused without the rights, and each command handed to its own code.

#include "cli/cli_tool.h"

#include <cstdio>
#include <optional>

#include "cli/usage.h"
#include "service/error_text.h"

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
    return tokens[i].strText;
  }
  return std::nullopt;
}

}  // namespace

CCommandLineTool::CCommandLineTool(svc::IServiceManager& scm, svc::IRegistry& registry,
                                   svc::ISystem& system, IRunnerView& runnerView,
                                   IBatchCodePage& batchCodePage, IConsole& console,
                                   const char* pszVersion)
    : m_scm(scm),
      m_registry(registry),
      m_system(system),
      m_runnerView(runnerView),
      m_batchCodePage(batchCodePage),
      m_console(console),
      m_pszVersion(pszVersion),
      m_platform{scm, registry, system},
      m_commands(m_platform) {}

int CCommandLineTool::Run(std::string_view commandLine,
                          const std::vector<std::size_t>& unrepresentable) {
  // Stored as it arrived, such a name would be another text (every Cyrillic name becomes
  // "???"), so nothing is done at all. The program's own path does not count.
  if (const auto argument = ArgumentHolding(commandLine, unrepresentable)) {
    m_console.Err("quillmnt: \"" + *argument +
                  "\" holds characters that this system's ANSI code page cannot represent "
                  "(shown as ?); Quillmont keeps names and values in that code page.");
    return kExitUsage;
  }
  const ParseResult parsed = ParseCommandLine(commandLine);
  if (!parsed.bOk) {
    m_console.Err("quillmnt: " + parsed.strError);
    m_console.Err(ShortUsage());
    return kExitUsage;
  }
  const ParsedCommand& cmd = parsed.command;
  if (NeedsElevation(cmd.verb) && !m_system.IsElevated()) {
    m_console.Err(
        "quillmnt: this command needs administrator rights; run it from an elevated prompt.");
    return kExitFailure;
  }
  return Dispatch(cmd);
}

bool CCommandLineTool::NeedsElevation(Verb verb) const {
  switch (verb) {
    case Verb::kInstall:
    case Verb::kRemove:
    case Verb::kSet:
    case Verb::kReset:
    case Verb::kStart:
    case Verb::kStop:
    case Verb::kRestart:
    case Verb::kRotate:
      return true;
    default:
      return false;
  }
}

int CCommandLineTool::Dispatch(const ParsedCommand& cmd) {
  switch (cmd.verb) {
    case Verb::kHelp:
      return OnHelp(cmd.strName);
    case Verb::kVersion:
      m_console.Out(std::string("quillmnt ") + m_pszVersion);
      return kExitOk;
    case Verb::kInstall:
      return OnInstall(cmd);
    case Verb::kRemove:
      return OnRemove(cmd);
    case Verb::kSet:
      return OnSet(cmd);
    case Verb::kGet:
      return OnGet(cmd);
    case Verb::kReset:
      return OnReset(cmd);
    case Verb::kStart:
      return OnStart(cmd);
    case Verb::kStop:
      return OnStop(cmd);
    case Verb::kRestart: {
      const int nStopped = OnStop(cmd);
      return nStopped == kExitOk ? OnStart(cmd) : nStopped;
    }
    case Verb::kStatus:
      return OnStatus(cmd);
    case Verb::kList:
      return OnList();
    case Verb::kDump:
      return OnDump(cmd);
    case Verb::kRotate:
      return OnRotate(cmd);
  }
  return kExitUsage;
}

int CCommandLineTool::OnHelp(const std::string& strTopic) {
  if (strTopic.empty()) {
    m_console.Out(FullUsage());
    return kExitOk;
  }
  Verb verb;
  if (!FindVerb(strTopic, &verb)) {
    m_console.Err("quillmnt: unknown command \"" + strTopic + "\"");
    m_console.Err(ShortUsage());
    return kExitUsage;
  }
  m_console.Out(CommandUsage(verb));
  return kExitOk;
}

bool CCommandLineTool::OpenService(const std::string& strName, std::uint32_t dwAccess,
                                   svc::CScHandle* manager, svc::CScHandle* service) {
  *manager = svc::OwnScHandle(m_scm, m_system,
                              m_scm.OpenSCManager(nullptr, nullptr, svc::kScManagerConnect));
  if (!*manager) {
    Fail("Could not open Service Control Manager. " + ErrorText());
    return false;
  }
  *service = svc::OwnScHandle(m_scm, m_system,
                              m_scm.OpenService(manager->get(), strName.c_str(), dwAccess));
  if (!*service) {
    const std::uint32_t dwError = m_system.GetLastError();
    if (dwError == static_cast<std::uint32_t>(svc::kErrorServiceDoesNotExist)) {
      Fail("No service named " + strName + " is registered.");
    } else {
      Fail("Could not open the service " + strName + ". " + ErrorText(dwError));
    }
    return false;
  }
  return true;
}

bool CCommandLineTool::CheckOwnService(const std::string& strName) {
  svc::CScHandle manager;
  svc::CScHandle service;
  if (!OpenService(strName, svc::kServiceQueryConfig, &manager, &service)) return false;
  if (!m_commands.IsOwnInstall(strName.c_str())) {
    Fail(strName + " was not installed by Quillmont; its settings are left as they are.");
    return false;
  }
  return true;
}

std::string CCommandLineTool::ErrorText() {
  return svc::LastErrorText(m_system);
}

std::string CCommandLineTool::ErrorText(std::uint32_t dwCode) {
  return svc::SystemErrorText(m_system, dwCode);
}

int CCommandLineTool::Fail(const std::string& strText) {
  m_console.Err(strText);
  return kExitFailure;
}

}  // namespace qm::cli
