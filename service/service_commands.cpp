#include "service/service_commands.h"

#include <cstdio>

#include "service/ascii_compare.h"
#include "service/error_text.h"
#include "service/platform_handles.h"

namespace qm::svc {

CServiceCommands::CServiceCommands(ServicePlatform& platform, IServiceForm& form)
    : m_platform(platform), m_form(form) {}

void CServiceCommands::LoadServiceList() {
  const Handle hRaw = OpenKeyForRead(m_platform.registry, kHKeyLocalMachine, kServicesKeyPath);
  m_pServiceList = std::make_unique<RegisteredServiceList>();
  if (hRaw == kNoHandle) return;
  CRegKey key = OwnKey(m_platform.registry, m_platform.system, hRaw);
  char szName[1024];
  char szClass[1024];
  // Any failure ends the walk, not only the end of the list: a key deleted meanwhile
  // answers every index with the same error and would otherwise be walked for ever.
  for (std::uint32_t dwIndex = 0;; ++dwIndex) {
    std::uint32_t cbName = sizeof(szName);
    std::uint32_t cbClass = sizeof(szClass);
    if (m_platform.registry.EnumKey(key.get(), dwIndex, szName, &cbName, szClass, &cbClass) !=
        kErrorSuccess) {
      break;
    }
    szName[sizeof(szName) - 1] = '\0';
    m_pServiceList->AddHead(szName);
  }
}

int CServiceCommands::IsOwnInstall(const char* serviceName) {
  char szKeyPath[1024];
  std::snprintf(szKeyPath, sizeof(szKeyPath), kParametersKeyFormat, serviceName);
  // One byte more than the capacity handed on, and zeroed: a value stored without its NUL
  // still ends inside the buffer.
  char szInstaller[1024 + 1] = {};
  std::uint32_t cbInstaller = 1024;
  if (ReadRegString(m_platform.registry, m_platform.system, szInstaller, &cbInstaller,
                    kHKeyLocalMachine, szKeyPath, contract::value::kInstaller) != 0) {
    return 0;
  }
  return EqualsIgnoringCase(szInstaller, kForeignInstallerMarker) ||
                 EqualsIgnoringCase(szInstaller, kInstallerMarker)
             ? 1
             : 0;
}

char* CServiceCommands::GetSystemErrorText(char* buffer, int capacity) {
  return svc::GetSystemErrorText(m_platform.system, buffer, capacity);
}

}  // namespace qm::svc
