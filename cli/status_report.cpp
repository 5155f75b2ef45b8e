#include "cli/status_report.h"

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

int ReportStatus(CommandContext& context, const std::string& strName,
                 const platform::ServiceStatus& status) {
  RunnerView view;
  // A starting service's runner tells what its program's readiness waits for.
  if ((status.currentState == platform::kServiceRunning ||
       status.currentState == platform::kServiceStartPending) &&
      status.processId != 0) {
    view.read =
        context.runnerView.Read(status.processId, RunnerAccountOf(context, strName), &view.state);
    if (view.read == RunnerViewRead::kRead) {
      view.started = context.runnerView.LocalTimeOf(view.state.qwStarted);
    }
  }
  std::string strErrorText;
  if (status.currentState == platform::kServiceStopped && status.win32ExitCode != 0) {
    strErrorText = ErrorText(context, status.win32ExitCode);
  }
  const StatusLine line =
      DescribeStatus(strName, status, view, context.runnerView.Now(), strErrorText);
  context.console.Out(line.strText);
  return line.nExitCode;
}

}  // namespace qm::cli
