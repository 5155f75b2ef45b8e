#pragma once
// How long the Service Control Manager gives a service at the system's shutdown: once it has
// sent SERVICE_CONTROL_PRESHUTDOWN it waits until the service has stopped or this timeout has
// passed, before other services are stopped. The runner stops its program on that control with
// its usual sequence, which takes StopTimeout and a few seconds to end the rest by force and
// write out the output; the timeout follows StopTimeout whenever a command sets it.

#include <cstdint>

namespace qm::svc {

// The time after StopTimeout: the runner's own allowance to end the program by force and report
// (3 s), and the output's last writes.
inline constexpr std::uint32_t kPreshutdownMarginMs = 5000;
// The system's default is 180 s before Windows 10 1703 (build 15063; Windows Server 2016
// included) and 10 s since: never below the larger, so that no system gives a service of ours
// less than it gives any other.
inline constexpr std::uint32_t kPreshutdownFloorMs = 180000;

// StopTimeout plus the margin, at least the floor, at most the largest StopTimeout the runner
// accepts plus the margin. A longer timeout set by other means is lowered to it: the runner
// never takes longer, and a longer one would only let a stuck stop hold up the shutdown.
std::uint32_t PreshutdownTimeoutMs(std::uint32_t stopTimeoutMs);

}  // namespace qm::svc
