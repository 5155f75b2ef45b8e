// reset: one setting of a service this tool installed back to its default.

#include <string_view>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/preshutdown_setting.h"
#include "cli/runner_values.h"
#include "cli/service_access.h"
#include "cli/service_settings.h"
#include "cli/stored_parameters.h"

namespace qm::cli {

int RunReset(CommandContext& context, const ParsedCommand& cmd) {
  Setting setting;
  if (!FindSetting(cmd.strSetting, &setting)) {
    return Fail(context,
                "quillmnt: unknown setting \"" + cmd.strSetting + "\" (quillmnt help reset)");
  }
  if (!CheckOwnService(context, cmd.strName)) return kExitFailure;
  bool bOk = false;
  if (setting.kind != SettingKind::kRunnerValue) {
    bOk = ChangeServiceSetting(context, cmd.strName, setting, DefaultData(setting, cmd.strName));
  } else if (setting.pValue->pszName == std::string_view(contract::value::kRunfile)) {
    return Fail(context, "Runfile has no default; set it to the program instead.");
  } else if (setting.pValue->bRequired) {
    // The values the runner needs are reset to empty; the others are deleted.
    const runner::StoredValue empty = StringValue("");
    bOk = EditRunnerValue(context, cmd.strName, *setting.pValue, &empty);
  } else {
    bOk = EditRunnerValue(context, cmd.strName, *setting.pValue, nullptr) &&
          (!IsStopTimeout(*setting.pValue) ||
           SetPreshutdownTimeout(context, cmd.strName, setting.pValue->dwDefault));
  }
  if (!bOk) return kExitFailure;
  context.console.Out(std::string(setting.pszName) + " of " + cmd.strName + " reset.");
  return kExitOk;
}

}  // namespace qm::cli
