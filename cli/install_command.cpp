// install: the window's own Install, asked with the command's values; its outcome printed as
// one line, with the exit code it means.

#include <string_view>
#include <utility>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/outcome_line.h"
#include "cli/service_words.h"
#include "cli/settings.h"
#include "runner/core/command_line.h"
#include "runner/core/runner_settings.h"

namespace qm::cli {

namespace {

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

}  // namespace

int RunInstall(CommandContext& context, const ParsedCommand& cmd) {
  const std::string strDisplayName = cmd.displayName.value_or(cmd.strName);
  const std::string strDependencies = cmd.dependencies.value_or("");
  // The window's form limits its fields further; here the limits are those of the Service
  // Control Manager and the runner.
  std::string strError;
  if (!CheckNameLength(cmd.strName, &strError)) {
    return Fail(context, strError + "; nothing was installed.");
  }
  for (const auto& [pszSetting, pText] : {std::pair{setting::kDisplayName, &strDisplayName},
                                          std::pair{setting::kDependencies, &strDependencies}}) {
    if (!CheckAsSetting(pszSetting, *pText, &strError)) {
      return Fail(context, strError + "; nothing was installed.");
    }
  }
  // A quote inside the program's name is refused by Install itself, in its own words.
  runner::RunnerSettings settings;
  settings.strRunfile = cmd.strProgram;
  settings.strArguments = cmd.strRest;
  runner::RunnerFailure failure;
  if (!contract::RunfileHasQuoteInName(cmd.strProgram) &&
      !runner::CheckRunnerSettings(settings, &failure)) {
    return Fail(context, "The runner would refuse this program: " + failure.strDetail +
                             ". Nothing was installed.");
  }

  svc::InstallRequest request;
  request.strServiceName = cmd.strName;
  request.strDisplayName = strDisplayName;
  request.bAutoStart = cmd.startup.value_or("auto") == "auto";
  request.strDependencies = strDependencies;
  request.strArguments = cmd.strRest;  // the program's, as typed
  request.strExecutable = cmd.strProgram;
  request.strWorkingDirectory = cmd.directory.value_or("");
  const svc::CommandOutcome outcome = context.commands.Install(request);
  const int nExit = ReportOutcome(context, outcome);
  if (outcome.kind != svc::OutcomeKind::kCreated) return nExit;

  // Installed all the same: the program may come later (a deployment that installs the
  // service first), but a typing error should not wait for the first start to show.
  const std::string strFile(runner::UnquotedRunfile(cmd.strProgram));
  if (!IsFullPath(strFile) || context.system.FileExists(strFile.c_str())) return nExit;
  // Process creation adds ".exe" to a name without an extension.
  const std::size_t nName = strFile.find_last_of("\\/") + 1;
  if (strFile.find('.', nName) == std::string::npos &&
      context.system.FileExists((strFile + ".exe").c_str())) {
    return nExit;
  }
  context.console.Err("Warning: " + strFile +
                      " does not exist now; the service cannot start until it does.");
  return nExit;
}

}  // namespace qm::cli
