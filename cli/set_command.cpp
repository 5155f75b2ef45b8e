// set: one setting of a service this tool installed, its data checked before anything is
// written, and written in one step. A user's account takes its password from standard input or
// a prompt when it is not typed, and is given the right to log on as a service.

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/preshutdown_setting.h"
#include "cli/runner_values.h"
#include "cli/service_access.h"
#include "cli/service_account.h"
#include "cli/service_settings.h"
#include "cli/stored_parameters.h"

namespace qm::cli {

namespace {

// The options of an account checked against the account; false, and said why.
bool CheckAccountOptions(CommandContext& context, const ParsedCommand& cmd, const Setting& setting,
                         const SettingData& data) {
  if (setting.kind != SettingKind::kAccount) {
    if (!cmd.bPasswordStdin && !cmd.bNoGrant) return true;
    Fail(context, std::string(cmd.bPasswordStdin ? "--password-stdin" : "--no-grant") +
                      " is for Account only; nothing was changed.");
    return false;
  }
  if (cmd.bPasswordStdin && !AccountNeedsPassword(data.strText)) {
    Fail(context, data.strText + " takes no password; nothing was changed.");
    return false;
  }
  if (cmd.bPasswordStdin && data.bPasswordGiven) {
    Fail(context,
         "The password is given twice, after the account and on standard input; nothing was "
         "changed.");
    return false;
  }
  return true;
}

// A user account's password that was not typed: from standard input, or asked for at the
// console. False, and said why, when there is none.
bool TakePassword(CommandContext& context, const ParsedCommand& cmd, SettingData* pData) {
  IPasswordInput& input = context.passwordInput;
  std::string strPassword;
  if (cmd.bPasswordStdin) {
    if (!input.ReadStandardInputLine(&strPassword)) {
      Fail(context, "No password could be read from standard input; nothing was changed.");
      return false;
    }
  } else if (!input.StandardInputIsConsole()) {
    Fail(context, "The account " + pData->strText +
                      " needs its password: give it on standard input with --password-stdin; "
                      "nothing was changed.");
    return false;
  } else if (!input.ReadHidden("Password for " + pData->strText + ": ", &strPassword)) {
    Fail(context, "No password was given; nothing was changed.");
    return false;
  }
  if (strPassword.empty()) {
    Fail(context, "The password given for " + pData->strText + " is empty; nothing was changed.");
    return false;
  }
  pData->strPassword = std::move(strPassword);
  pData->bPasswordGiven = true;
  return true;
}

}  // namespace

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
  if (!CheckAccountOptions(context, cmd, setting, data)) return kExitFailure;
  if (!CheckOwnService(context, cmd.strName)) return kExitFailure;
  const bool bAccount = setting.kind == SettingKind::kAccount;
  if (bAccount && AccountNeedsPassword(data.strText) && !data.bPasswordGiven &&
      !TakePassword(context, cmd, &data)) {
    return kExitFailure;
  }
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
  if (bAccount && AccountNeedsLogonRight(data.strText) && !cmd.bNoGrant) {
    GrantLogonRight(context, data.strText, context.console);
  }
  return kExitOk;
}

}  // namespace qm::cli
