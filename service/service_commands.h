#pragma once
// The Install and Remove commands of the main dialog, with the registry store and the
// system error text beneath them. The main dialog owns one CServiceCommands and forwards its
// Install and Remove buttons to OnInstall and OnRemove; everything else is reached through
// the platform seam and the form seam.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "service/form.h"
#include "service/platform.h"
#include "service/registry_store.h"

namespace qm::svc {

// How long Remove waits for a stopping service: at least this long, or the service's own
// wait hint if larger, but never longer than the cap; then it asks for the deletion anyway.
inline constexpr std::uint32_t kStopWaitMs = 30000;
inline constexpr std::uint32_t kStopWaitCapMs = 120000;

// Consecutive failing indexes after which the Services key's walk gives up.
inline constexpr int kMaxFailedEnumRun = 16;

class CServiceCommands {
 public:
  CServiceCommands(ServicePlatform& platform, IServiceForm& form);

  // Button handlers: each ends in the message boxes the command shows, nothing else.
  void OnInstall();
  void OnRemove();

  // Returns 1 when the service was created (whatever happened to its Parameters key), else 0.
  int InstallService(const char* serviceName, const char* displayName, const char* runnerPath,
                     const char* dependencies, const char* arguments, const char* executable,
                     const char* workingDirectory, std::uint32_t startType);

  // The configured start type, or -1 when it was not obtained.
  int QueryStartType(const char* serviceName);
  // Non-zero when the Service Control Manager accepted the deletion.
  int StopAndDeleteService(const char* serviceName);

  // Rebuilds m_pServiceList from the registry's Services key.
  void LoadServiceList();
  // 1 when the service's Installer value names this tool, else 0.
  int IsOwnInstall(const char* serviceName);
  // The calling thread's last system error as "%s (0x%x)", or the empty text.
  char* GetSystemErrorText(char* buffer, int capacity);

  const RegisteredServiceList* ServiceList() const { return m_pServiceList.get(); }

 private:
  // Creates the Parameters key and writes its four values, appending one paragraph with its
  // error text to message per failed step. True when every step succeeded.
  bool FillParametersKey(const char* serviceName, const char* arguments, const char* executable,
                         const char* workingDirectory, char* message, std::size_t capacity);

  ServicePlatform& m_platform;
  IServiceForm& m_form;
  std::unique_ptr<RegisteredServiceList> m_pServiceList;
};

}  // namespace qm::svc
