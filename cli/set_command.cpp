// set: one setting of a service this tool installed, its data checked before anything is
// written, and written in one step.

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/preshutdown_setting.h"
#include "cli/runner_values.h"
#include "cli/service_access.h"
#include "cli/service_settings.h"
#include "cli/stored_parameters.h"

namespace qm::cli {

int RunSet(CommandContext& context, const ParsedCommand& cmd) {
  Setting setting;
  if (!FindSetting(cmd.strSetting, &setting)) {
    return Fail(context,
                "quillmnt: unknown setting \"" + cmd.strSetting + "\" (quillmnt help set)");
  }
  SettingData data;
  std::string strError;
  if (!ParseSettingData(setting, cmd.strRest, cmd.rest, &data, &strError)) {
    return Fail(context, strError + "; nothing was changed.");
  }
  if (!CheckOwnService(context, cmd.strName)) return kExitFailure;
  if (setting.kind == SettingKind::kRunnerValue) {
    const runner::StoredValue stored = StoredValueOf(*setting.pValue, data);
    if (!EditRunnerValue(context, cmd.strName, *setting.pValue, &stored)) return kExitFailure;
    if (IsStopTimeout(*setting.pValue) &&
        !SetPreshutdownTimeout(context, cmd.strName, data.dwValue)) {
      return kExitFailure;
    }
  } else if (!ChangeServiceSetting(context, cmd.strName, setting, data)) {
    return kExitFailure;
  }
  context.console.Out(std::string(setting.pszName) + " of " + cmd.strName + " set.");
  return kExitOk;
}

}  // namespace qm::cli
