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

const contract::RunnerValue& kInstallerValue =
    *contract::FindRunnerValue(contract::value::kInstaller);
const contract::RunnerValue& kRunfileValue = *contract::FindRunnerValue(contract::value::kRunfile);

// The service names of the manager compare without regard to letter case.
class CStateSink : public platform::IServiceListSink {
 public:
  void OnService(const char* name, const platform::ServiceStatus& status) override {
    m_states[name] = status;
  }
  std::map<std::string, platform::ServiceStatus, CaseBlindLess> m_states;
};

struct Listed {
  std::string strName;
  std::string strProgram;
  bool operator<(const Listed& other) const { return strName < other.strName; }
};

// Whether the window's marker test takes the service as ours, and its Runfile (a program that
// cannot be read shows as none: list tells what it can of every service), with its key opened
// once: thousands of services are read.
bool ReadOwn(CommandContext& context, const std::string& strName, std::string* pProgram) {
  CStoredParameters key(context.registry, context.system);
  if (key.Open(strName) != platform::kErrorSuccess) return false;
  runner::RunnerSettings settings;
  runner::RunnerFailure failure;
  if (!runner::ReadRunnerValue(key, kInstallerValue, &settings, &failure) ||
      !svc::CServiceCommands::IsOwnMarker(settings.strInstaller)) {
    return false;
  }
  if (!runner::ReadRunnerValue(key, kRunfileValue, &settings, &failure))
    settings.strRunfile.clear();
  *pProgram = settings.strRunfile;
  return true;
}

}  // namespace

int RunList(CommandContext& context, const ParsedCommand& cmd) {
  // The window's own enumeration and marker test decide which services are ours.
  context.commands.LoadServiceList();
  const svc::RegisteredServiceList* pList = context.commands.ServiceList();
  std::vector<Listed> listed;
  for (const std::string& strName : pList->Names()) {
    std::string strProgram;
    if (ReadOwn(context, strName, &strProgram)) listed.push_back({strName, strProgram});
  }
  std::sort(listed.begin(), listed.end());

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
  for (const Listed& service : listed) cchName = std::max(cchName, service.strName.size());

  std::string strOut;
  Json services = Json::array();
  for (const auto& [strName, strProgram] : listed) {
    auto it = states.m_states.find(strName);
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
                       it != states.m_states.end() ? it->second : platform::ServiceStatus(), view,
                       JsonTextOf(context));
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
