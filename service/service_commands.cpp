#include "service/service_commands.h"

#include <cstdio>

#include "common/ascii_case.h"
#include "platform/error_text.h"
#include "platform/platform_handles.h"

namespace qm::svc {

CServiceCommands::CServiceCommands(ServicePlatform& platform) : m_platform(platform) {}

void CServiceCommands::LoadServiceList() {
  const Handle hRaw = OpenKeyForRead(m_platform.registry, kHKeyLocalMachine, kServicesKeyPath);
  m_pServiceList = std::make_unique<RegisteredServiceList>();
  if (hRaw == kNoHandle) return;
  CRegKey key = OwnKey(m_platform.registry, m_platform.system, hRaw);
  char szName[1024];
  char szClass[1024];
  // The list must hold every name the walk can deliver: an index that fails (a subkey with
  // a class longer than the buffer answers ERROR_MORE_DATA) is read again without the class,
  // which is never used, and skipped if it still fails. Only the end of the list ends the
  // walk, or a run of failures: a key deleted meanwhile fails every index for ever.
  int nFailedRun = 0;
  for (std::uint32_t dwIndex = 0; nFailedRun < kMaxFailedEnumRun; ++dwIndex) {
    std::uint32_t cbName = sizeof(szName);
    std::uint32_t cbClass = sizeof(szClass);
    long lResult =
        m_platform.registry.EnumKey(key.get(), dwIndex, szName, &cbName, szClass, &cbClass);
    if (lResult != kErrorSuccess && lResult != kErrorNoMoreItems) {
      cbName = sizeof(szName);
      lResult = m_platform.registry.EnumKey(key.get(), dwIndex, szName, &cbName, nullptr, nullptr);
    }
    if (lResult == kErrorNoMoreItems) break;
    if (lResult != kErrorSuccess) {
      ++nFailedRun;
      continue;
    }
    nFailedRun = 0;
    szName[sizeof(szName) - 1] = '\0';
    m_pServiceList->AddHead(szName);
  }
}

bool CServiceCommands::IsOwnInstall(const char* serviceName) {
  char szKeyPath[1024];
  std::snprintf(szKeyPath, sizeof(szKeyPath), kParametersKeyFormat, serviceName);
  // One byte more than the capacity handed on, and zeroed: a value stored without its NUL
  // still ends inside the buffer.
  char szInstaller[1024 + 1] = {};
  std::uint32_t cbInstaller = 1024;
  if (!ReadRegString(m_platform.registry, m_platform.system, szInstaller, &cbInstaller,
                     kHKeyLocalMachine, szKeyPath, contract::value::kInstaller)) {
    return false;
  }
  return IsOwnMarker(szInstaller);
}

bool CServiceCommands::IsOwnMarker(std::string_view installer) {
  return EqualsIgnoringCase(installer, kForeignInstallerMarker) ||
         EqualsIgnoringCase(installer, kInstallerMarker);
}

std::string CServiceCommands::LastErrorText() {
  return svc::LastErrorText(m_platform.system);
}

}  // namespace qm::svc
