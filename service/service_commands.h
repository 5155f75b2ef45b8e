#pragma once
// The Install and Remove commands, with the registry store and the system error text beneath
// them. Each takes a request and ends in an outcome; the window turns it into its message
// boxes, the command line into a line and an exit code. Everything else is reached through
// the platform seam.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "service/command_outcome.h"
#include "service/command_requests.h"
#include "service/registry_store.h"

namespace qm::svc {

// The commands speak the seam's words: its calls, handles, constants and owners.
using namespace qm::platform;

// How long Remove waits for a stopping service: at least this long, or the service's own
// wait hint if larger, but never longer than the cap; then it asks for the deletion anyway.
inline constexpr std::uint32_t kStopWaitMs = 30000;
inline constexpr std::uint32_t kStopWaitCapMs = 120000;

// Consecutive failing indexes after which the Services key's walk gives up.
inline constexpr int kMaxFailedEnumRun = 16;

class CServiceCommands {
 public:
  explicit CServiceCommands(ServicePlatform& platform);

  // Refuses what cannot be installed, creates the service with the runner beside this tool
  // as its executable, and fills its Parameters key.
  CommandOutcome Install(const InstallRequest& request);
  // Asks confirm once for a service of ours that starts automatically or on demand, twice for
  // any other; then stops the service if it runs and deletes it.
  CommandOutcome Remove(const RemoveRequest& request, IRemoveConfirm& confirm);

  // True when the Service Control Manager accepted the deletion; otherwise *pdwError (when
  // given) holds the reason.
  bool StopAndDeleteService(const char* serviceName, std::uint32_t* pdwError = nullptr);

  // Rebuilds the list of registered names from the registry's Services key.
  void LoadServiceList();
  // Whether the service's Installer value names this tool (or its older installer).
  bool IsOwnInstall(const char* serviceName);
  // Whether an Installer value's text names this tool (or its older installer).
  static bool IsOwnMarker(std::string_view installer);

  const RegisteredServiceList* ServiceList() const { return m_pServiceList.get(); }

 private:
  CommandOutcome InstallService(const InstallRequest& request, const char* runnerPath);
  // Creates the Parameters key and writes its four values. On a failed step, records the
  // first in outcome and appends one paragraph with its error text per failed step.
  void FillParametersKey(const InstallRequest& request, CommandOutcome* outcome);
  // The configured start type; false with the failure in outcome when it was not obtained.
  bool QueryStartType(const char* serviceName, std::uint32_t* startType, CommandOutcome* outcome);
  // The calling thread's last system error as "%s (0x%x)", or the empty text.
  std::string LastErrorText();

  ServicePlatform& m_platform;
  std::unique_ptr<RegisteredServiceList> m_pServiceList;
};

}  // namespace qm::svc
