// get: one setting of a service, or every setting with its value.

#include <vector>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json.h"
#include "cli/runner_values.h"
#include "cli/service_access.h"
#include "cli/service_settings.h"
#include "cli/service_state.h"
#include "cli/services_file.h"

namespace qm::cli {

namespace {

// Name and the settings asked for, each as apply's file holds it.
int PrintJson(CommandContext& context, const std::string& strName,
              const std::vector<Setting>& settings) {
  ServiceState state;
  Json all;
  if (!ReadServiceState(context, strName, &state) || !CheckReadable(context, strName, state) ||
      !WriteServiceObject(context, strName, state, true, &all)) {
    return kExitFailure;
  }
  Json object = {{"Name", all["Name"]}};
  for (const Setting& setting : settings) object[setting.pszName] = all[setting.pszName];
  context.console.Out(JsonText(settings.size() == 1 ? object : all, true));
  return kExitOk;
}

}  // namespace

int RunGet(CommandContext& context, const ParsedCommand& cmd) {
  {
    platform::CScHandle manager;
    platform::CScHandle service;
    if (!OpenService(context, cmd.strName, platform::kServiceQueryConfig, &manager, &service)) {
      return kExitFailure;
    }
  }
  std::vector<Setting> settings;
  if (cmd.strSetting.empty()) {
    settings = AllSettings();
  } else {
    Setting setting;
    if (!FindSetting(cmd.strSetting, &setting)) {
      return Fail(context,
                  "quillmnt: unknown setting \"" + cmd.strSetting + "\" (quillmnt help get)");
    }
    settings.push_back(setting);
  }
  if (cmd.bJson) return PrintJson(context, cmd.strName, settings);
  const bool bOne = !cmd.strSetting.empty();
  for (const Setting& setting : settings) {
    std::string strText;
    bool bDefault = false;
    const bool bRead =
        setting.kind == SettingKind::kRunnerValue
            ? RunnerValueText(context, cmd.strName, *setting.pValue, &strText, &bDefault)
            : ServiceSettingText(context, cmd.strName, setting.kind, &strText);
    if (!bRead) return kExitFailure;
    if (bOne) {
      context.console.Out(strText);
      continue;
    }
    // Every entry of a list on a line of its own, each named.
    std::string strLines;
    std::size_t nAt = 0;
    do {
      const std::size_t nEnd = strText.find('\n', nAt);
      strLines += std::string(setting.pszName) + " = " + strText.substr(nAt, nEnd - nAt) +
                  (bDefault ? " (default)" : "");
      if (nEnd == std::string::npos) break;
      strLines += '\n';
      nAt = nEnd + 1;
    } while (true);
    context.console.Out(strLines);
  }
  return kExitOk;
}

}  // namespace qm::cli
