// install and remove: the window's own Install and Remove, asked with the command's values;
// their outcome printed as one line, with the exit code it means.

#include <string_view>

#include "cli/cli_tool.h"
#include "runner/core/command_line.h"
#include "runner/core/runner_settings.h"

namespace qm::cli {

namespace {

// The Parameters key is reached by its whole path through the registry's ANSI calls, here and
// in the runner, which take at most MAX_PATH characters with the NUL. The manager itself takes
// names of 256 characters, but a name whose key path is longer would leave a service whose
// settings can be neither written nor read.
constexpr std::size_t kMaxParametersPath = 259;

// The first question is the command itself; the second, for a service that is not ours or
// does not start automatically or on demand, is answered by --force.
class CForceConfirm : public svc::IRemoveConfirm {
 public:
  explicit CForceConfirm(bool bForce) : m_bForce(bForce) {}
  bool Confirm(svc::RemoveQuestion question, const std::string& /*strText*/) override {
    return question == svc::RemoveQuestion::kConfirm || m_bForce;
  }

 private:
  bool m_bForce;
};

// A value of install checked as set checks the same setting, so that what one accepts the
// other does and a dump's script always replays.
bool CheckAsSetting(const char* pszSetting, const std::string& strValue, std::string* pError) {
  Setting setting;
  FindSetting(pszSetting, &setting);
  SettingData data;
  return ParseSettingData(setting, strValue, {Token{strValue, 0}}, &data, pError);
}

// A path that names the same file from here as from the runner. A bare name is searched for on
// the service's search path, and a relative path is taken from the runner's folder.
bool IsFullPath(std::string_view path) {
  const bool bDrive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  return bDrive || path.substr(0, 2) == "\\\\";
}

int Report(IConsole& console, const svc::CommandOutcome& outcome) {
  if (outcome.Succeeded()) {
    console.Out(OneLine(outcome.strText));
    return kExitOk;
  }
  console.Err(OneLine(outcome.strText));
  return kExitFailure;
}

}  // namespace

int CCommandLineTool::OnInstall(const ParsedCommand& cmd) {
  // The window's form limits its fields further; here the limits are those of the Service
  // Control Manager and the runner.
  if (cmd.strName.empty() || contract::ParametersKeyPath(cmd.strName).size() > kMaxParametersPath) {
    const std::size_t cchMax = kMaxParametersPath - contract::ParametersKeyPath("").size();
    return Fail("The service name takes 1 to " + std::to_string(cchMax) +
                " characters; nothing was installed.");
  }
  for (const auto& [pszSetting, pText] :
       {std::pair{contract::setting::kDisplayName, &cmd.strDisplayName},
        std::pair{contract::setting::kDependencies, &cmd.strDependencies}}) {
    std::string strError;
    if (!CheckAsSetting(pszSetting, *pText, &strError)) {
      return Fail(strError + "; nothing was installed.");
    }
  }
  // A quote inside the program's name is refused by Install itself, in its own words.
  runner::RunnerSettings settings;
  settings.strRunfile = cmd.strProgram;
  settings.strArguments = cmd.strArguments;
  runner::RunnerFailure failure;
  if (!contract::RunfileHasQuoteInName(cmd.strProgram) &&
      !runner::CheckRunnerSettings(settings, &failure)) {
    return Fail("The runner would refuse this program: " + failure.strDetail +
                ". Nothing was installed.");
  }

  svc::InstallRequest request;
  request.strServiceName = cmd.strName;
  request.strDisplayName = cmd.strDisplayName;
  request.bAutoStart = cmd.bAutoStart;
  request.strDependencies = cmd.strDependencies;
  request.strArguments = cmd.strArguments;
  request.strExecutable = cmd.strProgram;
  request.strWorkingDirectory = cmd.strDirectory;
  const svc::CommandOutcome outcome = m_commands.Install(request);
  const int nExit = Report(m_console, outcome);
  if (outcome.kind != svc::OutcomeKind::kCreated) return nExit;

  // Installed all the same: the program may come later (a deployment that installs the
  // service first), but a typing error should not wait for the first start to show.
  const std::string strFile(runner::UnquotedRunfile(cmd.strProgram));
  if (!IsFullPath(strFile) || m_system.FileExists(strFile.c_str())) return nExit;
  // Process creation adds ".exe" to a name without an extension.
  const std::size_t nName = strFile.find_last_of("\\/") + 1;
  if (strFile.find('.', nName) == std::string::npos &&
      m_system.FileExists((strFile + ".exe").c_str())) {
    return nExit;
  }
  m_console.Err("Warning: " + strFile +
                " does not exist now; the service cannot start until it does.");
  return nExit;
}

int CCommandLineTool::OnRemove(const ParsedCommand& cmd) {
  CForceConfirm confirm(cmd.bForce);
  svc::RemoveRequest request;
  request.strServiceName = cmd.strName;
  const svc::CommandOutcome outcome = m_commands.Remove(request, confirm);
  if (outcome.refusal == svc::Refusal::kNotReconfirmed) {
    return Fail(
        "The service was not installed by Quillmont, or it is disabled or a driver: not removed. "
        "Add --force to remove it all the same.");
  }
  // Where the window says nothing more (the service would not open), the reason is told.
  if (outcome.strText.empty()) {
    return Fail(cmd.strName + " was NOT removed. " + ErrorText(outcome.dwError));
  }
  return Report(m_console, outcome);
}

}  // namespace qm::cli
