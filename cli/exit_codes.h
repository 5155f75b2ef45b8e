#pragma once
// What the command line's exit code tells a script.

namespace qm::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
// apply only: something was changed (with --check: would be changed). 0 says that the
// machine matched the file already.
inline constexpr int kExitChanged = 8;
// status only: the service is stopped; on its way somewhere (starting, stopping, paused);
// running, but its program ended and waits for the runner to start it again (or, started
// again, is not ready yet); running, but its program fails its health check.
inline constexpr int kExitStopped = 3;
inline constexpr int kExitPending = 4;
inline constexpr int kExitRestarting = 5;
inline constexpr int kExitUnhealthy = 6;

}  // namespace qm::cli
