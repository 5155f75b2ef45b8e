// The Remove command: asks once for a service of ours that starts automatically or on
// demand, twice for every other, then stops the service if it runs and deletes it.

#include <algorithm>

#include "platform/error_text.h"
#include "platform/platform_handles.h"
#include "service/service_commands.h"

namespace qm::svc {

namespace {

constexpr std::uint32_t kConfigBlockSize = 4096;
constexpr std::uint32_t kStopPollMs = 1000;

CommandOutcome Ended(OutcomeKind kind, Refusal refusal, std::string strText) {
  CommandOutcome outcome;
  outcome.kind = kind;
  outcome.refusal = refusal;
  outcome.strText = std::move(strText);
  return outcome;
}

}  // namespace

CommandOutcome CServiceCommands::Remove(const RemoveRequest& request, IRemoveConfirm& confirm) {
  const std::string& strName = request.strServiceName;
  LoadServiceList();
  if (!m_pServiceList->Contains(strName.c_str())) {
    return Ended(OutcomeKind::kRefused, Refusal::kNotRegistered,
                 "No service named " + strName + "\n is registered.");
  }
  if (!confirm.Confirm(RemoveQuestion::kConfirm,
                       "Are you sure that you\nwant to remove " + strName + "?")) {
    return Ended(OutcomeKind::kRefused, Refusal::kNotConfirmed, "");
  }

  CommandOutcome outcome;
  std::uint32_t dwStartType = 0;
  const bool bStartType = QueryStartType(strName.c_str(), &dwStartType, &outcome);
  const bool bOwn = IsOwnInstall(strName.c_str());
  if (!bStartType) return outcome;
  if (!bOwn || (dwStartType != kServiceAutoStart && dwStartType != kServiceDemandStart)) {
    const std::string strQuestion =
        "Are you ABSOLUTELY sure that\nyou want to remove " + strName +
        "?\n\nThis service was not installed\nusing Quillmont!\n\nRemoving an essential "
        "service\ncould render the system\ninoperable!";
    if (!confirm.Confirm(RemoveQuestion::kReconfirm, strQuestion)) {
      return Ended(OutcomeKind::kRefused, Refusal::kNotReconfirmed, "");
    }
  }

  if (StopAndDeleteService(strName.c_str(), &outcome.dwError)) {
    return Ended(OutcomeKind::kRemoved, Refusal::kNone, strName + " was successfully removed.");
  }
  outcome.kind = OutcomeKind::kFailed;
  outcome.step = FailedStep::kDelete;
  outcome.strText = strName + " was NOT removed.";
  return outcome;
}

bool CServiceCommands::QueryStartType(const char* serviceName, std::uint32_t* startType,
                                      CommandOutcome* outcome) {
  IServiceManager& scm = m_platform.scm;
  ISystem& system = m_platform.system;
  outcome->kind = OutcomeKind::kFailed;

  CScHandle manager =
      OwnScHandle(scm, system, scm.OpenSCManager(nullptr, nullptr, kScManagerAllAccess));
  if (!manager) {
    outcome->step = FailedStep::kOpenManager;
    outcome->dwError = system.GetLastError();
    outcome->strText = "Could not open Service Control Manager.\n\n" + LastErrorText();
    return false;
  }
  CScHandle service =
      OwnScHandle(scm, system, scm.OpenService(manager.get(), serviceName, kServiceAllAccess));
  if (!service) {
    // The window says nothing more here: a Services subkey the manager does not hold as a
    // service, or access refused.
    outcome->step = FailedStep::kOpenService;
    outcome->dwError = system.GetLastError();
    return false;
  }

  // Declared after the handles, released after they are closed.
  CGlobalBlock block = AllocGlobalBlock(system, kConfigBlockSize);
  bool bQueried = false;
  if (!block) {
    // No block, no query: reported as the query's own failure for want of memory.
    system.SetLastError(static_cast<std::uint32_t>(kErrorNotEnoughMemory));
  } else {
    std::uint32_t cbNeeded = 0;
    bQueried =
        scm.QueryServiceConfig(service.get(), block.get(), kConfigBlockSize, &cbNeeded, startType);
  }
  if (!bQueried) {
    outcome->step = FailedStep::kQueryConfig;
    outcome->dwError = system.GetLastError();
    outcome->strText =
        "Could not QueryServiceConfig on\n\n" + std::string(serviceName) + "\n\n" + LastErrorText();
  }
  service.reset();
  manager.reset();
  return bQueried;
}

bool CServiceCommands::StopAndDeleteService(const char* serviceName, std::uint32_t* pdwError) {
  IServiceManager& scm = m_platform.scm;
  ISystem& system = m_platform.system;
  // The reason is taken before the handles close, which may change the last error.
  auto failed = [&] {
    if (pdwError != nullptr) *pdwError = system.GetLastError();
    return false;
  };
  CScHandle manager =
      OwnScHandle(scm, system, scm.OpenSCManager(nullptr, nullptr, kScManagerAllAccess));
  if (!manager) return failed();
  CScHandle service =
      OwnScHandle(scm, system, scm.OpenService(manager.get(), serviceName, kServiceAllAccess));
  if (!service) return failed();

  ServiceStatus status;
  if (scm.ControlService(service.get(), kServiceControlStop, &status)) {
    // Waits while the service reports that it is stopping, but not for ever: after the
    // bound the deletion is asked for all the same and takes effect once it stops.
    std::uint32_t dwWaited = 0;
    bool bStopping = true;
    while (bStopping) {
      const std::uint32_t dwBound =
          std::min(kStopWaitCapMs, std::max(kStopWaitMs, status.waitHint));
      if (dwWaited >= dwBound) break;
      system.Sleep(kStopPollMs);
      dwWaited += kStopPollMs;
      bStopping = scm.QueryServiceStatus(service.get(), &status) &&
                  status.currentState == kServiceStopPending;
    }
  }
  return scm.DeleteService(service.get()) || failed();
}

}  // namespace qm::svc
