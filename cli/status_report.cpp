#include "cli/status_report.h"

#include "cli/status_line.h"
#include "service/platform_handles.h"

namespace qm::cli {

RunnerAccount RunnerAccountOf(CommandContext& context, const std::string& strName) {
  svc::IServiceManager& scm = context.scm;
  RunnerAccount account{strName, std::string()};
  svc::CScHandle manager = svc::OwnScHandle(
      scm, context.system, scm.OpenSCManager(nullptr, nullptr, svc::kScManagerConnect));
  if (!manager) return account;
  svc::CScHandle service =
      svc::OwnScHandle(scm, context.system,
                       scm.OpenService(manager.get(), strName.c_str(), svc::kServiceQueryConfig));
  svc::ServiceConfigInfo info;
  if (service && scm.QueryConfig(service.get(), &info)) account.strAccount = info.szStartName;
  return account;
}

int ReportStatus(CommandContext& context, const std::string& strName,
                 const svc::ServiceStatus& status) {
  RunnerView view;
  if (status.currentState == svc::kServiceRunning && status.processId != 0) {
    view.read =
        context.runnerView.Read(status.processId, RunnerAccountOf(context, strName), &view.state);
    if (view.read == RunnerViewRead::kRead) {
      view.started = context.runnerView.LocalTimeOf(view.state.qwStarted);
    }
  }
  std::string strErrorText;
  if (status.currentState == svc::kServiceStopped && status.win32ExitCode != 0) {
    strErrorText = ErrorText(context, status.win32ExitCode);
  }
  const StatusLine line =
      DescribeStatus(strName, status, view, context.runnerView.Now(), strErrorText);
  context.console.Out(line.strText);
  return line.nExitCode;
}

}  // namespace qm::cli
