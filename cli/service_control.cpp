// start, stop, restart, status and rotate: one request each, then a bounded wait for the
// state to settle.

#include <cstdio>

#include "cli/cli_tool.h"
#include "cli/status_line.h"

namespace qm::cli {

const char* StateWord(std::uint32_t dwState, bool bBrief) {
  switch (dwState) {
    case svc::kServiceStopped:
      return "stopped";
    case svc::kServiceStartPending:
      return "starting";
    case svc::kServiceStopPending:
      return "stopping";
    case svc::kServiceRunning:
      return "running";
    case svc::kServicePaused:
      return "paused";
    case svc::kServiceContinuePending:
      return bBrief ? "pending" : "continuing";
    case svc::kServicePausePending:
      return bBrief ? "pending" : "pausing";
    default:
      return bBrief ? "pending" : "in an unknown state";
  }
}

bool CCommandLineTool::WaitWhile(svc::Handle hService, std::uint32_t dwPending,
                                 std::uint32_t dwTimeoutSeconds, svc::ServiceStatus* status) {
  const std::uint64_t qwLimitMs = static_cast<std::uint64_t>(dwTimeoutSeconds) * 1000;
  std::uint64_t qwWaitedMs = 0;
  for (;;) {
    if (!m_scm.QueryServiceStatus(hService, status)) return false;
    if (status->currentState != dwPending) return true;
    if (qwWaitedMs >= qwLimitMs) return false;
    m_system.Sleep(kPollMs);
    qwWaitedMs += kPollMs;
  }
}

RunnerAccount CCommandLineTool::RunnerAccountOf(const std::string& strName) {
  RunnerAccount account{strName, std::string()};
  svc::CScHandle manager = svc::OwnScHandle(
      m_scm, m_system, m_scm.OpenSCManager(nullptr, nullptr, svc::kScManagerConnect));
  if (!manager) return account;
  svc::CScHandle service = svc::OwnScHandle(
      m_scm, m_system, m_scm.OpenService(manager.get(), strName.c_str(), svc::kServiceQueryConfig));
  svc::ServiceConfigInfo info;
  if (service && m_scm.QueryConfig(service.get(), &info)) account.strAccount = info.szStartName;
  return account;
}

int CCommandLineTool::ReportStatus(const std::string& strName, const svc::ServiceStatus& status) {
  RunnerView view;
  if (status.currentState == svc::kServiceRunning && status.processId != 0) {
    view.read = m_runnerView.Read(status.processId, RunnerAccountOf(strName), &view.state);
    if (view.read == RunnerViewRead::kRead) {
      view.started = m_runnerView.LocalTimeOf(view.state.qwStarted);
    }
  }
  std::string strErrorText;
  if (status.currentState == svc::kServiceStopped && status.win32ExitCode != 0) {
    strErrorText = ErrorText(status.win32ExitCode);
  }
  const StatusLine line = DescribeStatus(strName, status, view, m_runnerView.Now(), strErrorText);
  m_console.Out(line.strText);
  return line.nExitCode;
}

int CCommandLineTool::OnStatus(const ParsedCommand& cmd) {
  svc::CScHandle manager;
  svc::CScHandle service;
  if (!OpenService(cmd.strName, svc::kServiceQueryStatus, &manager, &service)) {
    return kExitFailure;
  }
  svc::ServiceStatus status;
  if (!m_scm.QueryServiceStatusEx(service.get(), &status)) {
    return Fail("Could not query " + cmd.strName + ". " + ErrorText());
  }
  return ReportStatus(cmd.strName, status);
}

int CCommandLineTool::OnStart(const ParsedCommand& cmd) {
  svc::CScHandle manager;
  svc::CScHandle service;
  if (!OpenService(cmd.strName, svc::kServiceStart | svc::kServiceQueryStatus, &manager,
                   &service)) {
    return kExitFailure;
  }
  if (!m_scm.StartService(service.get())) {
    const std::uint32_t dwError = m_system.GetLastError();
    if (dwError != static_cast<std::uint32_t>(svc::kErrorServiceAlreadyRunning)) {
      return Fail("Could not start " + cmd.strName + ". " + ErrorText(dwError));
    }
  }
  if (cmd.bNoWait) {
    m_console.Out(cmd.strName + ": start requested");
    return kExitOk;
  }
  svc::ServiceStatus status;
  const bool bSettled =
      WaitWhile(service.get(), svc::kServiceStartPending, cmd.dwTimeoutSeconds, &status);
  if (bSettled && status.currentState == svc::kServiceRunning) {
    m_console.Out(cmd.strName + ": running");
    return kExitOk;
  }
  if (!bSettled && status.currentState == svc::kServiceStartPending) {
    return Fail(cmd.strName + " is still starting after " + std::to_string(cmd.dwTimeoutSeconds) +
                " s.");
  }
  ReportStatus(cmd.strName, status);
  return Fail(cmd.strName + " did not start.");
}

int CCommandLineTool::OnStop(const ParsedCommand& cmd) {
  svc::CScHandle manager;
  svc::CScHandle service;
  if (!OpenService(cmd.strName, svc::kServiceStop | svc::kServiceQueryStatus, &manager, &service)) {
    return kExitFailure;
  }
  svc::ServiceStatus status;
  if (!m_scm.ControlService(service.get(), svc::kServiceControlStop, &status)) {
    const std::uint32_t dwError = m_system.GetLastError();
    if (dwError != static_cast<std::uint32_t>(svc::kErrorServiceNotActive)) {
      return Fail("Could not stop " + cmd.strName + ". " + ErrorText(dwError));
    }
    if (cmd.verb == Verb::kStop) m_console.Out(cmd.strName + ": stopped already");
    return kExitOk;
  }
  if (cmd.bNoWait && cmd.verb == Verb::kStop) {
    m_console.Out(cmd.strName + ": stop requested");
    return kExitOk;
  }
  if (!WaitWhile(service.get(), svc::kServiceStopPending, cmd.dwTimeoutSeconds, &status) ||
      status.currentState != svc::kServiceStopped) {
    return Fail(cmd.strName + " has not stopped after " + std::to_string(cmd.dwTimeoutSeconds) +
                " s.");
  }
  if (cmd.verb == Verb::kStop) m_console.Out(cmd.strName + ": stopped");
  return kExitOk;
}

int CCommandLineTool::OnRotate(const ParsedCommand& cmd) {
  svc::CScHandle manager;
  svc::CScHandle service;
  if (!OpenService(cmd.strName, svc::kServiceUserDefinedControl | svc::kServiceQueryStatus,
                   &manager, &service)) {
    return kExitFailure;
  }
  svc::ServiceStatus status;
  if (!m_scm.ControlService(service.get(), contract::kControlRotate, &status)) {
    return Fail("Could not ask " + cmd.strName + " to rotate its output files. " + ErrorText());
  }
  m_console.Out(cmd.strName + ": rotation requested");
  return kExitOk;
}

}  // namespace qm::cli
