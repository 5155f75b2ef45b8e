// dump: the commands, as a cmd script, that make a service this tool installed again with
// every setting, on this machine or another.

#include <string_view>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/recovery_list.h"
#include "cli/runner_values.h"
#include "cli/service_access.h"
#include "cli/service_account.h"
#include "cli/service_settings.h"
#include "cli/service_words.h"
#include "cli/settings.h"
#include "common/ascii_case.h"

namespace qm::cli {

namespace {

// Whether a text can go into the script: every text goes in whole or the service is not dumped,
// since a line break would end its line early and the rest would run as a command of its own.
// Says why not.
bool CheckScriptText(CommandContext& context, const std::string& strName,
                     const std::string& strWhat, const std::string& strText) {
  std::string strConverted;
  const char* pszWhy = nullptr;
  if (!FitsOnBatchLine(strText)) {
    pszWhy = "a line break or another control character, which a line of a cmd script cannot carry";
  } else if (!context.batchCodePage.FromAnsi(strText, &strConverted)) {
    pszWhy = "a character that the code page cmd reads scripts in cannot hold";
  }
  if (pszWhy == nullptr) return true;
  Fail(context, strWhat + " of " + strName + " holds " + pszWhy + "; nothing was dumped.");
  return false;
}

}  // namespace

int RunDump(CommandContext& context, const ParsedCommand& cmd) {
  if (!CheckOwnService(context, cmd.strName)) return kExitFailure;
  const std::string strName = QuoteArgument(cmd.strName);
  std::string strDisplay;
  std::string strStartup;
  std::string strDepends;
  std::string strAccount;
  std::string strDescription;
  std::string strRunfile;
  std::string strArguments;
  std::string strDirectory;
  bool bDefault = false;
  if (!ServiceSettingText(context, cmd.strName, SettingKind::kDisplayName, &strDisplay) ||
      !ServiceSettingText(context, cmd.strName, SettingKind::kStartup, &strStartup) ||
      !ServiceSettingText(context, cmd.strName, SettingKind::kDependencies, &strDepends) ||
      !ServiceSettingText(context, cmd.strName, SettingKind::kAccount, &strAccount) ||
      !ServiceSettingText(context, cmd.strName, SettingKind::kDescription, &strDescription)) {
    return kExitFailure;
  }
  Setting runfile, arguments, directory;
  FindSetting(contract::value::kRunfile, &runfile);
  FindSetting(contract::value::kArguments, &arguments);
  FindSetting(contract::value::kDirectory, &directory);
  if (!RunnerValueText(context, cmd.strName, *runfile.pValue, &strRunfile, &bDefault) ||
      !RunnerValueText(context, cmd.strName, *arguments.pValue, &strArguments, &bDefault) ||
      !RunnerValueText(context, cmd.strName, *directory.pValue, &strDirectory, &bDefault)) {
    return kExitFailure;
  }
  // Every text goes into the script whole, or the service is not dumped.
  const std::pair<const char*, const std::string*> texts[] = {
      {"The name", &cmd.strName},
      {setting::kDisplayName, &strDisplay},
      {setting::kDependencies, &strDepends},
      {setting::kAccount, &strAccount},
      {setting::kDescription, &strDescription},
      {contract::value::kRunfile, &strRunfile},
      {contract::value::kArguments, &strArguments},
      {contract::value::kDirectory, &strDirectory}};
  for (const auto& [pszWhat, pText] : texts) {
    if (!CheckScriptText(context, cmd.strName, pszWhat, *pText)) return kExitFailure;
  }

  // cmd runs the script with delayed expansion off whatever its own setting, so a ! in a value
  // is no variable; the end of the script ends the setting.
  std::vector<std::string> lines = {
      "@setlocal DisableDelayedExpansion",
      "@rem Recreates the service " + cmd.strName + " (quillmnt dump)"};
  std::string strInstall = "quillmnt install --display-name " + QuoteArgument(strDisplay);
  const bool bManual = strStartup == "manual";
  strInstall += bManual ? " --startup manual" : "";
  if (!strDepends.empty()) strInstall += " --depend " + QuoteArgument(strDepends);
  if (!strDirectory.empty()) strInstall += " --dir " + QuoteArgument(strDirectory);
  strInstall += " " + strName + " " + QuoteArgument(strRunfile);
  // Typed after the program, the arguments lose blanks at their ends; such arguments are set
  // as one quoted argument instead.
  const bool bEdgeBlanks =
      !strArguments.empty() && (strArguments.front() == ' ' || strArguments.front() == '\t' ||
                                strArguments.back() == ' ' || strArguments.back() == '\t');
  if (!strArguments.empty() && !bEdgeBlanks) strInstall += " " + strArguments;
  lines.push_back(strInstall);
  if (bEdgeBlanks) {
    lines.push_back("quillmnt set --quoted " + strName + " Arguments " +
                    QuoteArgument(strArguments));
  }
  if (strStartup != "auto" && !bManual) {
    lines.push_back("quillmnt set " + strName + " Startup " + strStartup);
  }
  if (!strDescription.empty()) {
    lines.push_back("quillmnt set " + strName + " Description " + QuoteArgument(strDescription));
  }
  if (!EqualsIgnoringCase(strAccount, kLocalSystem)) {
    if (!AccountNeedsPassword(strAccount)) {
      lines.push_back("quillmnt set " + strName + " Account " + QuoteArgument(strAccount));
    } else {
      lines.push_back("@rem The account's password cannot be read; run this at a console, which");
      lines.push_back("@rem asks for it (or give it on standard input with --password-stdin):");
      lines.push_back("@rem quillmnt set " + strName + " Account " + QuoteArgument(strAccount));
    }
  }
  // The manager's recovery; its period only goes with a list.
  std::string strRecovery;
  std::string strRecoveryReset;
  if (!ServiceSettingText(context, cmd.strName, SettingKind::kRecovery, &strRecovery) ||
      !ServiceSettingText(context, cmd.strName, SettingKind::kRecoveryReset, &strRecoveryReset)) {
    return kExitFailure;
  }
  if (strRecovery != kNoRecovery) {
    lines.push_back("quillmnt set " + strName + " Recovery " + strRecovery);
    if (strRecoveryReset != std::to_string(kDefaultRecoveryResetSeconds)) {
      lines.push_back("quillmnt set " + strName + " RecoveryReset " + strRecoveryReset);
    }
  }
  // The runner values the window does not write, where they are set. (Lines 0 and 1 are the
  // heading: 0 below means no such line.)
  std::size_t nDelayLine = 0;
  std::size_t nDelayMaxLine = 0;
  std::uint32_t dwDelay = 0;
  for (const contract::RunnerValue& value : contract::kRunnerValues) {
    if (value.bWrittenByTool) continue;
    std::string strText;
    std::vector<std::string> entries;
    if (!RunnerValueText(context, cmd.strName, value, &strText, &bDefault, &entries))
      return kExitFailure;
    if (bDefault) continue;
    std::string strLine = "quillmnt set " + strName + " " + value.pszName;
    if (value.type == contract::ValueType::kMultiString) {
      if (entries.empty()) continue;  // an empty list is what reset leaves
      for (const std::string& strEntry : entries) {
        if (!CheckScriptText(context, cmd.strName, value.pszName, strEntry)) return kExitFailure;
        strLine += ' ';
        strLine += QuoteArgument(strEntry);
      }
    } else {
      if (!CheckScriptText(context, cmd.strName, value.pszName, strText)) return kExitFailure;
      strLine += ' ';
      strLine += QuoteArgument(strText);
    }
    const std::string_view name = value.pszName;
    if (name == contract::value::kRestartDelay && ParseDword(strText, &dwDelay)) {
      nDelayLine = lines.size();
    } else if (name == contract::value::kRestartDelayMax) {
      nDelayMaxLine = lines.size();
    }
    lines.push_back(strLine);
  }
  // Each set is checked against the values set before it, the defaults at first: a
  // RestartDelay above the default cap would be refused before its own RestartDelayMax.
  if (nDelayLine != 0 && nDelayMaxLine != 0 && dwDelay > contract::kDefaultRestartDelayMaxMs) {
    std::swap(lines[nDelayLine], lines[nDelayMaxLine]);
  }

  // The script stops at the first command that fails, with exit code 1: going on would edit a
  // service of that name that was there before, and end with the last command's success. The
  // test has a line of its own: a line may end inside quotes, where "||" is no operator.
  std::string strOut;
  for (const std::string& strLine : lines) {
    strOut += EscapeForBatch(strLine) + '\n';
    if (strLine.front() != '@') strOut += std::string(kDumpStopLine) + '\n';
  }
  strOut.pop_back();
  // In the code page cmd reads it in; every text in it was found to fit above.
  std::string strScript;
  if (!context.batchCodePage.FromAnsi(strOut, &strScript)) {
    return Fail(context,
                "The script of " + cmd.strName +
                    " does not fit the code page cmd reads scripts in; nothing was dumped.");
  }
  context.console.Out(strScript);
  return kExitOk;
}

}  // namespace qm::cli
