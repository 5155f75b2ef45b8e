// The command line's entry and the commands it shares with the window: install and remove
// run the window's own Install and Remove over a form filled from the arguments.

#include "cli/cli_tool.h"

#include <cstdio>

#include "cli/usage.h"
#include "service/error_text.h"

namespace qm::cli {

namespace {

// The window's field capacities less their NUL: longer texts would be cut, so they are refused.
struct FieldLimit {
  const char* pszWhat;
  std::size_t cchMax;
};
constexpr FieldLimit kNameLimit = {"service name", 80};
constexpr FieldLimit kDisplayLimit = {"display name", 80};
constexpr FieldLimit kListLimit = {"dependency list", 1023};
constexpr FieldLimit kArgumentsLimit = {"program's arguments", 1023};
constexpr FieldLimit kProgramLimit = {"program's path", 259};
constexpr FieldLimit kDirectoryLimit = {"working directory", 259};

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
      m_messageBox(console),
      m_platform{scm, registry, system, m_messageBox},
      m_commands(m_platform, m_form) {}

int CCommandLineTool::Run(std::string_view commandLine) {
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

int CCommandLineTool::OnInstall(const ParsedCommand& cmd) {
  const std::pair<const FieldLimit*, const std::string*> checks[] = {
      {&kNameLimit, &cmd.strName},         {&kDisplayLimit, &cmd.strDisplayName},
      {&kListLimit, &cmd.strDependencies}, {&kArgumentsLimit, &cmd.strArguments},
      {&kProgramLimit, &cmd.strProgram},   {&kDirectoryLimit, &cmd.strDirectory}};
  for (const auto& [pLimit, pText] : checks) {
    if (pText->size() > pLimit->cchMax) {
      char szMessage[160];
      std::snprintf(szMessage, sizeof(szMessage),
                    "The %s is longer than %zu characters; nothing was installed.", pLimit->pszWhat,
                    pLimit->cchMax);
      return Fail(szMessage);
    }
  }
  m_form.m_fields = {{IDC_SERVICE_NAME, cmd.strName},
                     {IDC_DISPLAY_NAME, cmd.strDisplayName},
                     {IDC_STARTUP, cmd.bAutoStart ? "Automatic" : "Manual (Demand)"},
                     {IDC_DEPENDENCIES, cmd.strDependencies},
                     {IDC_ARGUMENTS, cmd.strArguments},
                     {IDC_EXECUTABLE, cmd.strProgram},
                     {IDC_WORKING_DIR, cmd.strDirectory}};
  m_messageBox.Reset(false);
  m_commands.OnInstall();
  return m_messageBox.Succeeded() && !m_messageBox.Failed() ? kExitOk : kExitFailure;
}

int CCommandLineTool::OnRemove(const ParsedCommand& cmd) {
  if (cmd.strName.size() > kNameLimit.cchMax) {
    return Fail("No service named " + cmd.strName + " is registered.");
  }
  m_form.m_fields = {{IDC_SERVICE_NAME, cmd.strName}};
  m_messageBox.Reset(cmd.bForce);
  m_commands.OnRemove();
  if (m_messageBox.Succeeded() && !m_messageBox.Failed()) return kExitOk;
  // A start type that could not be read ends the window's command without a word of its own.
  if (!m_messageBox.Failed()) Fail(cmd.strName + " was NOT removed.");
  return kExitFailure;
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
  if (m_commands.IsOwnInstall(strName.c_str()) == 0) {
    Fail(strName + " was not installed by Quillmont; its settings are left as they are.");
    return false;
  }
  return true;
}

std::string CCommandLineTool::ErrorText() {
  char szError[svc::kErrorTextCapacity];
  return svc::GetSystemErrorText(m_system, szError, sizeof(szError));
}

std::string CCommandLineTool::ErrorText(std::uint32_t dwCode) {
  m_system.SetLastError(dwCode);
  return ErrorText();
}

int CCommandLineTool::Fail(const std::string& strText) {
  m_console.Err(strText);
  return kExitFailure;
}

}  // namespace qm::cli
