#pragma once
// The exit codes the runner reports to the Service Control Manager when its service stops.

#include <cstdint>

namespace qm::runner {

constexpr std::uint32_t kErrorServiceSpecificError = 1066;
constexpr std::uint32_t kErrorProcessAborted = 1067;
// Reported for a runner failure whose platform error is unknown (zero).
constexpr std::uint32_t kErrorBadConfiguration = 1610;
// ERROR_TIMEOUT: the program's output was not all written when the stop's time ran out.
constexpr std::uint32_t kErrorTimeout = 1460;

struct ServiceExit {
  std::uint32_t dwWin32ExitCode = 0;
  std::uint32_t dwServiceSpecificExitCode = 0;
};

// The program ended by itself: zero is a clean stop; anything else is the program's own
// code, reported as a service-specific error so that recovery actions see a failure.
ServiceExit ExitForProgram(std::uint32_t programExitCode);

// The runner gave up restarting the program: always a failure, so that recovery actions
// follow; the last exit code as the service-specific code, or, when that was zero (a program
// restarted whatever its code), "the process terminated unexpectedly".
ServiceExit ExitForGivingUp(std::uint32_t lastExitCode);

// The runner could not do its work: the platform error, never zero.
ServiceExit ExitForRunnerFailure(std::uint32_t platformError);

// The service was asked to stop and did: a clean stop, however the program ended.
ServiceExit ExitForRequestedStop();

// Some of the program's output was not written to its files at the service's end: never a
// clean stop. A failure keeps its codes, which say more about the program; a clean end
// becomes kErrorTimeout.
ServiceExit ExitWithOutputLost(ServiceExit exit);

}  // namespace qm::runner
