// list: the services this tool installed, with their state and program.

#include <algorithm>
#include <map>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json.h"
#include "cli/services_file.h"
#include "cli/status_json.h"
#include "cli/status_line.h"
#include "cli/status_report.h"
#include "cli/stored_parameters.h"
#include "common/ascii_case.h"

namespace qm::cli {

namespace {

const contract::RunnerValue& kRunfileValue = *contract::FindRunnerValue(contract::value::kRunfile);

// The service names of the manager compare without regard to letter case.
class CStateSink : public platform::IServiceListSink {
 public:
  void OnService(const char* name, const platform::ServiceStatus& status) override {
    m_states[name] = status;
  }
  std::map<std::string, platform::ServiceStatus, CaseBlindLess> m_states;
};

// A service's Runfile; a program that cannot be read shows as none: list tells what it can
// of every service.
std::string ProgramOf(CommandContext& context, const std::string& strName) {
  CStoredParameters key(context.registry, context.system);
  runner::RunnerSettings settings;
  runner::RunnerFailure failure;
  const bool bRead = key.Open(strName) == platform::kErrorSuccess &&
                     runner::ReadRunnerValue(key, kRunfileValue, &settings, &failure);
  return bRead ? settings.strRunfile : std::string();
}

}  // namespace

int RunList(CommandContext& context, const ParsedCommand& cmd) {
  // The window's own enumeration and marker test decide which services are ours.
  context.commands.LoadServiceList();
  const svc::RegisteredServiceList* pList = context.commands.ServiceList();
  std::vector<std::string> names;
  for (const std::string& strName : pList->Names()) {
    if (context.commands.IsOwnInstall(strName.c_str()) != 0) names.push_back(strName);
  }
  std::sort(names.begin(), names.end());

  // Every state in one request: one request per service costs seconds with thousands.
  CStateSink states;
  {
    platform::IServiceManager& scm = context.scm;
    platform::CScHandle manager = platform::OwnScHandle(
        scm, context.system,
        scm.OpenSCManager(nullptr, nullptr,
                          platform::kScManagerConnect | platform::kScManagerEnumerateService));
    if (!manager) {
      return Fail(context, "Could not open Service Control Manager. " + ErrorText(context));
    }
    if (!scm.EnumServices(manager.get(), states)) {
      return Fail(context, "Could not list the services. " + ErrorText(context));
    }
  }
  std::size_t cchName = 4;
  for (const std::string& strName : names) cchName = std::max(cchName, strName.size());

  std::string strOut;
  Json services = Json::array();
  for (const std::string& strName : names) {
    auto it = states.m_states.find(strName);
    const std::string strProgram = ProgramOf(context, strName);
    // A key left behind without its service has no state. A running service whose runner
    // waits to start its program again says so, as status does.
    const RunnerView view =
        it != states.m_states.end() ? ReadRunnerView(context, strName, it->second) : RunnerView();
    if (cmd.bJson) {
      Json name = strName;
      Json program = strProgram;
      ValueToJson(context, strName, &name);
      ValueToJson(context, strProgram, &program);
      Json object =
          StatusObject(name.get<std::string>(),
                       it != states.m_states.end() ? it->second : platform::ServiceStatus(), view);
      if (it == states.m_states.end()) object["State"] = "not registered";
      object["Runfile"] = std::move(program);
      services.push_back(std::move(object));
      continue;
    }
    std::string strState = "not registered";
    if (it != states.m_states.end()) {
      strState = ListStateWord(it->second.currentState);
      if (view.read == RunnerViewRead::kRead &&
          view.state.phase == contract::state::Phase::kRestarting) {
        strState = "restarting";
      }
    }
    std::string strLine = strName;
    strLine.append(cchName + 2 - strName.size(), ' ');
    strLine += strState;
    strLine.append(strState.size() < 16 ? 16 - strState.size() : 1, ' ');
    strLine += strProgram;
    strOut += strLine + '\n';
  }
  if (cmd.bJson) {
    context.console.Out(JsonText(services, true));
  } else if (!strOut.empty()) {
    strOut.pop_back();
    context.console.Out(strOut);
  }
  return kExitOk;
}

}  // namespace qm::cli
