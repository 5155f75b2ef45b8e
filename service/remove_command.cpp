// The Remove command: asks once for a service of ours that starts automatically or on
// demand, twice for every other, then stops the service if it runs and deletes it.

#include <algorithm>
#include <cstdio>

#include "service/error_text.h"
#include "service/platform_handles.h"
#include "service/service_commands.h"

namespace qm::svc {

namespace {

constexpr std::uint32_t kConfigBlockSize = 4096;
constexpr std::uint32_t kStopPollMs = 1000;

constexpr const char* kReconfirmFormat =
    "Are you ABSOLUTELY sure that\nyou want to remove %s?\n\nThis service was not installed\n"
    "using Quillmont!\n\nRemoving an essential service\ncould render the system\ninoperable!";

// Frees a platform block when the scope ends; a block never obtained is never released.
class CGlobalBlock {
 public:
  CGlobalBlock(ISystem& system, std::size_t bytes)
      : m_system(system), m_pBlock(system.GlobalAlloc(bytes)) {}
  ~CGlobalBlock() {
    if (m_pBlock != nullptr) m_system.GlobalFree(m_pBlock);
  }
  CGlobalBlock(const CGlobalBlock&) = delete;
  CGlobalBlock& operator=(const CGlobalBlock&) = delete;
  void* Get() const { return m_pBlock; }

 private:
  ISystem& m_system;
  void* m_pBlock;
};

}  // namespace

void CServiceCommands::OnRemove() {
  char szServiceName[kNameCapacity];
  m_form.ReadField(IDC_SERVICE_NAME, szServiceName, kNameCapacity);
  LoadServiceList();

  char szMessage[1024];
  if (!m_pServiceList->Contains(szServiceName)) {
    std::snprintf(szMessage, sizeof(szMessage), "No service named %s\n is registered.",
                  szServiceName);
    m_platform.messageBox.Show(szMessage, "No Service", kMbOk | kMbIconExclamation);
    return;
  }
  std::snprintf(szMessage, sizeof(szMessage), "Are you sure that you\nwant to remove %s?",
                szServiceName);
  if (m_platform.messageBox.Show(szMessage, "Please Confirm", kMbYesNo | kMbIconQuestion) !=
      kIdYes) {
    return;
  }

  const int nStartType = QueryStartType(szServiceName);
  const int nOwn = IsOwnInstall(szServiceName);
  if (nStartType == -1) return;
  if (nOwn == 0 || (nStartType != static_cast<int>(kServiceAutoStart) &&
                    nStartType != static_cast<int>(kServiceDemandStart))) {
    std::snprintf(szMessage, sizeof(szMessage), kReconfirmFormat, szServiceName);
    if (m_platform.messageBox.Show(szMessage, "Please Reconfirm", kMbYesNo | kMbIconHand) !=
        kIdYes) {
      return;
    }
  }

  if (StopAndDeleteService(szServiceName) != 0) {
    std::snprintf(szMessage, sizeof(szMessage), "%s was successfully removed.", szServiceName);
    m_platform.messageBox.Show(szMessage, "Success!", kMbOk | kMbIconInformation);
    m_form.WriteField(IDC_SERVICE_NAME, "");
  } else {
    std::snprintf(szMessage, sizeof(szMessage), "%s was NOT removed.", szServiceName);
    m_platform.messageBox.Show(szMessage, "Error", kMbOk | kMbIconHand);
  }
}

int CServiceCommands::QueryStartType(const char* serviceName) {
  IServiceManager& scm = m_platform.scm;
  ISystem& system = m_platform.system;
  char szMessage[1024];
  char szError[kErrorTextCapacity];

  CScHandle manager =
      OwnScHandle(scm, system, scm.OpenSCManager(nullptr, nullptr, kScManagerAllAccess));
  if (!manager) {
    GetSystemErrorText(szError, sizeof(szError));
    std::snprintf(szMessage, sizeof(szMessage), "%s\n\n%s",
                  "Could not open Service Control Manager.", szError);
    m_platform.messageBox.Show(szMessage, "Error", kMbOk | kMbIconExclamation);
    return -1;
  }
  CScHandle service =
      OwnScHandle(scm, system, scm.OpenService(manager.get(), serviceName, kServiceAllAccess));
  if (!service) return -1;

  int nResult = -1;
  // Declared before the handles' closing below, released after them.
  CGlobalBlock block(system, kConfigBlockSize);
  bool bQueried = false;
  std::uint32_t dwStartType = 0;
  if (block.Get() == nullptr) {
    // No block, no query: reported as the query's own failure for want of memory.
    system.SetLastError(static_cast<std::uint32_t>(kErrorNotEnoughMemory));
  } else {
    std::uint32_t cbNeeded = 0;
    bQueried = scm.QueryServiceConfig(service.get(), block.Get(), kConfigBlockSize, &cbNeeded,
                                      &dwStartType);
  }
  if (bQueried) {
    nResult = static_cast<int>(dwStartType);
  } else {
    GetSystemErrorText(szError, sizeof(szError));
    std::snprintf(szMessage, sizeof(szMessage), "Could not QueryServiceConfig on\n\n%s\n\n%s",
                  serviceName, szError);
    m_platform.messageBox.Show(szMessage, "Error", kMbOk | kMbIconExclamation);
  }
  service.reset();
  manager.reset();
  return nResult;
}

int CServiceCommands::StopAndDeleteService(const char* serviceName) {
  IServiceManager& scm = m_platform.scm;
  ISystem& system = m_platform.system;
  CScHandle manager =
      OwnScHandle(scm, system, scm.OpenSCManager(nullptr, nullptr, kScManagerAllAccess));
  if (!manager) return 0;
  CScHandle service =
      OwnScHandle(scm, system, scm.OpenService(manager.get(), serviceName, kServiceAllAccess));
  if (!service) return 0;

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
  return scm.DeleteService(service.get()) ? 1 : 0;
}

}  // namespace qm::svc
