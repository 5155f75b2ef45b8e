#include "runner/core/service_exit.h"

namespace qm::runner {

ServiceExit ExitForProgram(std::uint32_t programExitCode) {
  if (programExitCode == 0) return {};
  return {kErrorServiceSpecificError, programExitCode};
}

ServiceExit ExitForGivingUp(std::uint32_t lastExitCode) {
  if (lastExitCode == 0) return {kErrorProcessAborted, 0};
  return {kErrorServiceSpecificError, lastExitCode};
}

ServiceExit ExitForRunnerFailure(std::uint32_t platformError) {
  // Error 1066 would send readers to a service-specific code that does not exist.
  if (platformError == 0 || platformError == kErrorServiceSpecificError) {
    return {kErrorBadConfiguration, 0};
  }
  return {platformError, 0};
}

ServiceExit ExitForRequestedStop() {
  return {};
}

ServiceExit ExitWithOutputLost(ServiceExit exit) {
  if (exit.dwWin32ExitCode != 0) return exit;
  return {kErrorTimeout, 0};
}

}  // namespace qm::runner
