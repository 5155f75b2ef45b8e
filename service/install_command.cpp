// The Install command: refuses what cannot be installed, creates the service with the runner
// as its executable and fills its Parameters key; its outcome carries the one text the window
// shows for it.

#include <cstdio>

#include "platform/error_text.h"
#include "platform/platform_handles.h"
#include "service/dependency_list.h"
#include "service/preshutdown_timeout.h"
#include "service/runner_path.h"
#include "service/service_commands.h"

namespace qm::svc {

namespace {

CommandOutcome Refused(Refusal refusal, std::string strText) {
  CommandOutcome outcome;
  outcome.kind = OutcomeKind::kRefused;
  outcome.refusal = refusal;
  outcome.strText = std::move(strText);
  return outcome;
}

std::string NotInstalled(const char* pszWhat, const std::string& strName,
                         const std::string& strError) {
  return std::string(pszWhat) + "\n\n" + strName + "\n was NOT installed.\n\n" + strError;
}

}  // namespace

CommandOutcome CServiceCommands::Install(const InstallRequest& request) {
  const std::string& strName = request.strServiceName;
  // A module path the system could not return whole, or a runner path that would not fit,
  // is refused: a cut path would make the service start some other program.
  char szModule[kMaxPath];
  char szRunnerPath[kMaxPath];
  const std::uint32_t cchModule = m_platform.system.GetModuleFileName(szModule, kMaxPath);
  const bool bModuleOk = cchModule != 0 && cchModule < kMaxPath;
  CommandOutcome moduleFailure;
  if (!bModuleOk) {
    moduleFailure.step = FailedStep::kModulePath;
    moduleFailure.dwError = m_platform.system.GetLastError();
    moduleFailure.strText =
        NotInstalled("Could not find the folder of this program.", strName, LastErrorText());
  }
  const bool bRunnerOk = bModuleOk && MakeRunnerPath(szModule, szRunnerPath, kMaxPath);

  LoadServiceList();

  if (!bModuleOk) return moduleFailure;
  if (!bRunnerOk) {
    return Refused(Refusal::kRunnerPathTooLong,
                   NotInstalled("The path of carrack.exe is too long.", strName, ""));
  }
  if (strName.find(' ') != std::string::npos) {
    return Refused(Refusal::kSpaceInName, "Please do not use any spaces\nin the service name.");
  }
  if (m_pServiceList->Contains(strName.c_str())) {
    return Refused(Refusal::kAlreadyRegistered,
                   "A service named " + strName + "\n is already registered.");
  }
  // The runner would refuse it at every start; the user meant the rest as arguments.
  if (contract::RunfileHasQuoteInName(request.strExecutable)) {
    return Refused(Refusal::kQuoteInExecutable,
                   "Please do not use quotes in the executable.\nIts arguments belong in the "
                   "Arguments field.");
  }
  return InstallService(request, szRunnerPath);
}

CommandOutcome CServiceCommands::InstallService(const InstallRequest& request,
                                                const char* runnerPath) {
  IServiceManager& scm = m_platform.scm;
  ISystem& system = m_platform.system;
  const std::string& strName = request.strServiceName;

  const CDependencyList dependencyList(system, request.strDependencies.c_str());
  CScHandle manager =
      OwnScHandle(scm, system, scm.OpenSCManager(nullptr, nullptr, kScManagerAllAccess));
  CommandOutcome outcome;
  if (!manager) {
    outcome.step = FailedStep::kOpenManager;
    outcome.dwError = system.GetLastError();
    outcome.strText =
        NotInstalled("Could not open Service Control Manager.", strName, LastErrorText());
    return outcome;
  }
  const CreateServiceArgs args{strName.c_str(),
                               request.strDisplayName.c_str(),
                               kServiceAllAccess,
                               kServiceWin32OwnProcess,
                               request.bAutoStart ? kServiceAutoStart : kServiceDemandStart,
                               kServiceErrorNormal,
                               runnerPath,
                               nullptr,
                               dependencyList.List(),
                               nullptr,
                               nullptr};
  CScHandle service = OwnScHandle(scm, system, scm.CreateService(manager.get(), args));
  if (!service) {
    // Taken before the handles close, which may change the last error.
    outcome.step = FailedStep::kCreateService;
    outcome.dwError = system.GetLastError();
    outcome.strText = NotInstalled("Could not create service.", strName, LastErrorText());
    return outcome;
  }
  outcome.kind = OutcomeKind::kCreated;
  outcome.strText = strName + "\n\nwas successfully created.";
  FillParametersKey(request, &outcome);
  // Installed without a StopTimeout: the runner's default.
  if (!scm.ChangePreshutdownTimeout(service.get(),
                                    PreshutdownTimeoutMs(contract::kDefaultStopTimeoutMs))) {
    if (outcome.step == FailedStep::kNone) {
      outcome.step = FailedStep::kPreshutdownTimeout;
      outcome.dwError = system.GetLastError();
    }
    outcome.strText += "\nHowever, the pre-shutdown timeout\ncould not be set.\n\n";
    outcome.strText += LastErrorText();
  }
  return outcome;
}

void CServiceCommands::FillParametersKey(const InstallRequest& request, CommandOutcome* outcome) {
  IRegistry& registry = m_platform.registry;
  ISystem& system = m_platform.system;
  char szKeyPath[1024];
  std::snprintf(szKeyPath, sizeof(szKeyPath), kParametersKeyFormat, request.strServiceName.c_str());
  auto failed = [&](FailedStep step, const char* pszValue) {
    if (outcome->step == FailedStep::kNone) {
      outcome->step = step;
      outcome->dwError = system.GetLastError();
    }
    outcome->strText += std::string("\nHowever, the ") + pszValue + " could\nnot be assigned.\n\n";
    outcome->strText += LastErrorText();
  };
  auto write = [&](const std::string& strText, const char* pszValueName) {
    const auto cb = static_cast<std::uint32_t>(strText.size() + 1);
    return WriteRegString(registry, system, strText.c_str(), cb, kHKeyLocalMachine, szKeyPath,
                          pszValueName);
  };

  if (!CreateRegKey(registry, system, kHKeyLocalMachine, szKeyPath)) {
    outcome->step = FailedStep::kParametersKey;
    outcome->dwError = system.GetLastError();
    outcome->strText += "\nHowever, the Parameter subkey\ncould not be created.\n\n";
    outcome->strText += LastErrorText();
  } else if (!write(kInstallerMarker, contract::value::kInstaller)) {
    failed(FailedStep::kInstallerValue, "Installer value");
  } else if (!write(request.strArguments, contract::value::kArguments)) {
    failed(FailedStep::kArgumentsValue, "Arguments value");
  } else {
    if (!write(request.strExecutable, contract::value::kRunfile)) {
      failed(FailedStep::kRunfileValue, "Runfile value");
    }
    if (!write(request.strWorkingDirectory, contract::value::kDirectory)) {
      failed(FailedStep::kDirectoryValue, "Directory value");
    }
  }
}

}  // namespace qm::svc
