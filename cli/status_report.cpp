#include "cli/status_report.h"

#include "cli/json.h"
#include "cli/services_file.h"
#include "cli/status_json.h"
#include "cli/status_line.h"
#include "platform/platform_handles.h"

namespace qm::cli {

RunnerAccount RunnerAccountOf(CommandContext& context, const std::string& strName) {
  platform::IServiceManager& scm = context.scm;
  RunnerAccount account{strName, std::string()};
  platform::CScHandle manager = platform::OwnScHandle(
      scm, context.system, scm.OpenSCManager(nullptr, nullptr, platform::kScManagerConnect));
  if (!manager) return account;
  platform::CScHandle service = platform::OwnScHandle(
      scm, context.system,
      scm.OpenService(manager.get(), strName.c_str(), platform::kServiceQueryConfig));
  platform::ServiceConfigInfo info;
  if (service && scm.QueryConfig(service.get(), &info)) account.strAccount = info.szStartName;
  return account;
}

RunnerView ReadRunnerView(CommandContext& context, const std::string& strName,
                          const platform::ServiceStatus& status) {
  RunnerView view;
  // A starting service's runner tells what its program's readiness waits for.
  if ((status.currentState == platform::kServiceRunning ||
       status.currentState == platform::kServiceStartPending) &&
      status.processId != 0) {
    view.read =
        context.runnerView.Read(status.processId, RunnerAccountOf(context, strName), &view.state);
  }
  return view;
}

AnsiToUtf8 JsonTextOf(CommandContext& context) {
  return [&context](const std::string& strAnsi) {
    Json text;
    // Bytes that are no text of the code page go out as replacement characters.
    return ValueToJson(context, strAnsi, &text) ? text.get<std::string>() : strAnsi;
  };
}

int ReportStatus(CommandContext& context, const std::string& strName,
                 const platform::ServiceStatus& status, bool bJson) {
  RunnerView view = ReadRunnerView(context, strName, status);
  if (view.read == RunnerViewRead::kRead && !bJson) {
    view.started = context.runnerView.LocalTimeOf(view.state.qwStarted);
  }
  std::string strErrorText;
  if (status.currentState == platform::kServiceStopped && status.win32ExitCode != 0) {
    strErrorText = ErrorText(context, status.win32ExitCode);
  }
  const StatusLine line =
      DescribeStatus(strName, status, view, context.runnerView.Now(), strErrorText);
  if (!bJson) {
    context.console.Out(line.strText);
    return line.nExitCode;
  }
  Json name = strName;
  ValueToJson(context, strName, &name);
  context.console.Out(
      JsonText(StatusObject(name.get<std::string>(), status, view, JsonTextOf(context)), true));
  return line.nExitCode;
}

}  // namespace qm::cli
