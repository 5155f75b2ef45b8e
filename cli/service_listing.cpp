// list and dump: the services this tool installed, and the commands that make one again.

#include <algorithm>
#include <cstring>
#include <map>

#include "cli/cli_tool.h"
#include "cli/stored_parameters.h"
#include "common/ascii_case.h"

namespace qm::cli {

namespace {

const contract::RunnerValue& kRunfileValue = *contract::FindRunnerValue(contract::value::kRunfile);

struct ListedState {
  std::uint32_t dwState = 0;
  std::uint32_t dwProcessId = 0;
};

// The service names of the manager compare without regard to letter case.
class CStateSink : public svc::IServiceListSink {
 public:
  void OnService(const char* name, std::uint32_t currentState, std::uint32_t processId) override {
    m_states[name] = {currentState, processId};
  }
  std::map<std::string, ListedState, CaseBlindLess> m_states;
};

}  // namespace

int CCommandLineTool::OnList() {
  // The window's own enumeration and marker test decide which services are ours.
  m_commands.LoadServiceList();
  const svc::RegisteredServiceList* pList = m_commands.ServiceList();
  std::vector<std::string> names;
  for (const std::string& strName : pList->Names()) {
    if (m_commands.IsOwnInstall(strName.c_str()) != 0) names.push_back(strName);
  }
  std::sort(names.begin(), names.end());

  // Every state in one request: one request per service costs seconds with thousands.
  CStateSink states;
  {
    svc::CScHandle manager = svc::OwnScHandle(
        m_scm, m_system,
        m_scm.OpenSCManager(nullptr, nullptr,
                            svc::kScManagerConnect | svc::kScManagerEnumerateService));
    if (!manager) return Fail("Could not open Service Control Manager. " + ErrorText());
    if (!m_scm.EnumServices(manager.get(), states)) {
      return Fail("Could not list the services. " + ErrorText());
    }
  }
  std::size_t cchName = 4;
  for (const std::string& strName : names) cchName = std::max(cchName, strName.size());

  std::string strOut;
  for (const std::string& strName : names) {
    auto it = states.m_states.find(strName);
    // A key left behind without its service has no state. A running service whose runner
    // waits to start its program again says so, as status does.
    std::string strState = "not registered";
    if (it != states.m_states.end()) {
      strState = StateWord(it->second.dwState, true);
      runner::RunnerState runnerState;
      if (it->second.dwState == svc::kServiceRunning && it->second.dwProcessId != 0 &&
          m_runnerView.Read(it->second.dwProcessId, RunnerAccountOf(strName), &runnerState) ==
              RunnerViewRead::kRead &&
          runnerState.phase == contract::state::Phase::kRestarting) {
        strState = "restarting";
      }
    }
    // A program that cannot be read shows as none: list tells what it can of every service.
    CStoredParameters key(m_registry, m_system);
    runner::RunnerSettings settings;
    runner::RunnerFailure failure;
    const bool bRead = key.Open(strName) == svc::kErrorSuccess &&
                       runner::ReadRunnerValue(key, kRunfileValue, &settings, &failure);
    const std::string strProgram = bRead ? settings.strRunfile : std::string();
    std::string strLine = strName;
    strLine.append(cchName + 2 - strName.size(), ' ');
    strLine += strState;
    strLine.append(strState.size() < 16 ? 16 - strState.size() : 1, ' ');
    strLine += strProgram;
    strOut += strLine + '\n';
  }
  if (!strOut.empty()) {
    strOut.pop_back();
    m_console.Out(strOut);
  }
  return kExitOk;
}

bool CCommandLineTool::CheckScriptText(const std::string& strName, const std::string& strWhat,
                                       const std::string& strText) {
  std::string strConverted;
  const char* pszWhy = nullptr;
  if (!FitsOnBatchLine(strText)) {
    pszWhy = "a line break or another control character, which a line of a cmd script cannot carry";
  } else if (!m_batchCodePage.FromAnsi(strText, &strConverted)) {
    pszWhy = "a character that the code page cmd reads scripts in cannot hold";
  }
  if (pszWhy == nullptr) return true;
  Fail(strWhat + " of " + strName + " holds " + pszWhy + "; nothing was dumped.");
  return false;
}

int CCommandLineTool::OnDump(const ParsedCommand& cmd) {
  if (!CheckOwnService(cmd.strName)) return kExitFailure;
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
  if (!ServiceSettingText(cmd.strName, SettingKind::kDisplayName, &strDisplay) ||
      !ServiceSettingText(cmd.strName, SettingKind::kStartup, &strStartup) ||
      !ServiceSettingText(cmd.strName, SettingKind::kDependencies, &strDepends) ||
      !ServiceSettingText(cmd.strName, SettingKind::kAccount, &strAccount) ||
      !ServiceSettingText(cmd.strName, SettingKind::kDescription, &strDescription)) {
    return kExitFailure;
  }
  Setting runfile, arguments, directory;
  FindSetting(contract::value::kRunfile, &runfile);
  FindSetting(contract::value::kArguments, &arguments);
  FindSetting(contract::value::kDirectory, &directory);
  if (!RunnerValueText(cmd.strName, *runfile.pValue, &strRunfile, &bDefault) ||
      !RunnerValueText(cmd.strName, *arguments.pValue, &strArguments, &bDefault) ||
      !RunnerValueText(cmd.strName, *directory.pValue, &strDirectory, &bDefault)) {
    return kExitFailure;
  }
  // Every text goes into the script whole or the service is not dumped: a line break would end
  // its line early and the rest would run as a command of its own.
  const std::pair<const char*, const std::string*> texts[] = {
      {"The name", &cmd.strName},
      {contract::setting::kDisplayName, &strDisplay},
      {contract::setting::kDependencies, &strDepends},
      {contract::setting::kAccount, &strAccount},
      {contract::setting::kDescription, &strDescription},
      {contract::value::kRunfile, &strRunfile},
      {contract::value::kArguments, &strArguments},
      {contract::value::kDirectory, &strDirectory}};
  for (const auto& [pszWhat, pText] : texts) {
    if (!CheckScriptText(cmd.strName, pszWhat, *pText)) return kExitFailure;
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
  if (!EqualsIgnoringCase(strAccount, contract::kLocalSystem)) {
    if (IsBuiltInAccount(strAccount)) {
      lines.push_back("quillmnt set " + strName + " Account " + QuoteArgument(strAccount));
    } else {
      lines.push_back("@rem The account's password cannot be read; add it and run:");
      lines.push_back("@rem quillmnt set " + strName + " Account " + QuoteArgument(strAccount) +
                      " <password>");
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
    if (!RunnerValueText(cmd.strName, value, &strText, &bDefault, &entries)) return kExitFailure;
    if (bDefault) continue;
    std::string strLine = "quillmnt set " + strName + " " + value.pszName;
    if (value.type == contract::ValueType::kMultiString) {
      if (entries.empty()) continue;  // an empty list is what reset leaves
      for (const std::string& strEntry : entries) {
        if (!CheckScriptText(cmd.strName, value.pszName, strEntry)) return kExitFailure;
        strLine += ' ';
        strLine += QuoteArgument(strEntry);
      }
    } else {
      if (!CheckScriptText(cmd.strName, value.pszName, strText)) return kExitFailure;
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
  if (!m_batchCodePage.FromAnsi(strOut, &strScript)) {
    return Fail("The script of " + cmd.strName +
                " does not fit the code page cmd reads scripts in; nothing was dumped.");
  }
  m_console.Out(strScript);
  return kExitOk;
}

}  // namespace qm::cli
