// export: services this tool installed as a file for apply, every setting that is not at its
// default, in a fixed order, so that the file can be kept under version control and a diff
// shows only real changes.

#include <algorithm>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json.h"
#include "cli/service_access.h"
#include "cli/service_state.h"
#include "cli/services_file.h"
#include "cli/usage.h"
#include "common/ascii_case.h"

namespace qm::cli {

namespace {

// One service's entry, the service opened with the manager (hManager).
bool ExportOne(CommandContext& context, platform::Handle hManager, const std::string& strName,
               Json* pObject) {
  // apply takes a name that any machine's code page holds.
  for (char ch : strName) {
    if (static_cast<unsigned char>(ch) >= 0x80) {
      Fail(context, "The name " + strName +
                        " is not ASCII, which a file for every machine needs; nothing was "
                        "exported.");
      return false;
    }
  }
  platform::CScHandle service;
  platform::ServiceConfigInfo info;
  if (!OpenService(context, hManager, strName, platform::kServiceQueryConfig, &service)) {
    return false;
  }
  if (!context.commands.IsOwnInstall(strName.c_str())) {
    Fail(context, strName + " was not installed by Quillmont; nothing was exported.");
    return false;
  }
  if (!context.scm.QueryConfig(service.get(), &info)) {
    Fail(context, "Could not read the configuration of " + strName + ". " + ErrorText(context));
    return false;
  }
  ServiceState state;
  return ReadServiceState(context, strName, &state, service.get(), &info) &&
         CheckReadable(context, strName, state) &&
         WriteServiceObject(context, strName, state, false, pObject);
}

}  // namespace

int RunExport(CommandContext& context, const ParsedCommand& cmd) {
  std::vector<std::string> names;
  for (const Token& token : cmd.rest) names.push_back(token.strText);
  if (cmd.bAll == !names.empty()) {
    context.console.Err(cmd.bAll ? "quillmnt: export takes service names or --all, not both"
                                 : "quillmnt: export needs a service name, or --all");
    context.console.Err(ShortUsage());
    return kExitUsage;
  }
  if (cmd.bAll) {
    // The window's own enumeration and marker test decide which services are ours.
    context.commands.LoadServiceList();
    for (const std::string& strName : context.commands.ServiceList()->Names()) {
      if (context.commands.IsOwnInstall(strName.c_str())) names.push_back(strName);
    }
    std::sort(names.begin(), names.end(), CaseBlindLess());
  }
  platform::IServiceManager& scm = context.scm;
  platform::CScHandle manager = platform::OwnScHandle(
      scm, context.system, scm.OpenSCManager(nullptr, nullptr, platform::kScManagerConnect));
  if (!manager)
    return Fail(context, "Could not open Service Control Manager. " + ErrorText(context));
  Json services = Json::array();
  for (const std::string& strName : names) {
    Json object;
    if (!ExportOne(context, manager.get(), strName, &object)) return kExitFailure;
    services.push_back(std::move(object));
  }
  context.console.Out(JsonText({{"services", std::move(services)}}, true));
  return kExitOk;
}

}  // namespace qm::cli
