// list and dump: the services this tool installed, and the commands that make one again.

#include <algorithm>
#include <cstring>
#include <map>

#include "cli/cli_tool.h"

namespace qm::cli {

namespace {

struct CaseBlindLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      auto fold = [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch; };
      return fold(x) < fold(y);
    });
  }
};

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
          m_runnerView.Read(it->second.dwProcessId, &runnerState) == RunnerViewRead::kRead &&
          runnerState.phase == contract::state::Phase::kRestarting) {
        strState = "restarting";
      }
    }
    std::uint32_t dwType = 0;
    std::string data;
    std::string strProgram;
    if (ReadParameter(strName, contract::value::kRunfile, &dwType, &data) == 0) {
      strProgram = data.substr(0, data.find('\0'));
    }
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

  std::vector<std::string> lines;
  lines.push_back("@rem Recreates the service " + cmd.strName + " (quillmnt dump)");
  std::string strInstall = "quillmnt install --display-name " + QuoteArgument(strDisplay);
  const bool bManual = strStartup == "manual";
  strInstall += bManual ? " --startup manual" : "";
  if (!strDepends.empty()) strInstall += " --depend " + QuoteArgument(strDepends);
  if (!strDirectory.empty()) strInstall += " --dir " + QuoteArgument(strDirectory);
  strInstall += " " + strName + " " + QuoteArgument(strRunfile);
  if (!strArguments.empty()) strInstall += " " + strArguments;
  lines.push_back(strInstall);
  if (strStartup != "auto" && !bManual) {
    lines.push_back("quillmnt set " + strName + " Startup " + strStartup);
  }
  if (!strDescription.empty()) {
    lines.push_back("quillmnt set " + strName + " Description " + QuoteArgument(strDescription));
  }
  if (!contract::EqualsIgnoringCase(strAccount, contract::kLocalSystem)) {
    if (IsBuiltInAccount(strAccount)) {
      lines.push_back("quillmnt set " + strName + " Account " + QuoteArgument(strAccount));
    } else {
      lines.push_back("@rem The account's password cannot be read; add it and run:");
      lines.push_back("@rem quillmnt set " + strName + " Account " + QuoteArgument(strAccount) +
                      " <password>");
    }
  }
  // The runner values the window does not write, where they are set. (Line 0 is the heading:
  // 0 below means no such line.)
  std::size_t nDelayLine = 0;
  std::size_t nDelayMaxLine = 0;
  std::uint32_t dwDelay = 0;
  for (const contract::RunnerValue& value : contract::kRunnerValues) {
    if (value.bWrittenByTool) continue;
    std::string strText;
    if (ReadParameter(cmd.strName, value.pszName, nullptr, &strText) != 0) continue;
    if (!RunnerValueText(cmd.strName, value, &strText, &bDefault)) return kExitFailure;
    std::string strLine = "quillmnt set " + strName + " " + value.pszName;
    if (value.type == contract::ValueType::kMultiString) {
      std::size_t nAt = 0;
      while (nAt < strText.size()) {
        const std::size_t nEnd = std::min(strText.find('\n', nAt), strText.size());
        strLine += ' ';
        strLine += QuoteArgument(strText.substr(nAt, nEnd - nAt));
        nAt = nEnd + 1;
      }
      if (strText.empty()) continue;  // an empty list is what reset leaves
    } else {
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
    if (strLine.rfind("@rem", 0) != 0) strOut += std::string(kDumpStopLine) + '\n';
  }
  strOut.pop_back();
  m_console.Out(strOut);
  return kExitOk;
}

}  // namespace qm::cli
