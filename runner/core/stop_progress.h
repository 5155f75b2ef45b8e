#pragma once
// The pace of a stop: how long the runner waits for the program between two progress reports
// to the Service Control Manager, and the wait hint each report carries. A report's hint
// covers the wait up to the next report plus time to end the program by force, so the
// manager never sees a hint run out while the runner is on schedule.

#include <cstdint>

namespace qm::runner {

constexpr std::uint32_t kStopSliceMs = 1000;
// Time allowed to end the program by force and to report the end.
constexpr std::uint32_t kEndAllowanceMs = 3000;

struct StopStep {
  bool bTimedOut = false;      // the program had its time: end it now
  std::uint32_t dwWaitMs = 0;  // wait this long for the program before the next report
  std::uint32_t dwWaitHintMs = 0;
};

StopStep PlanStopStep(std::uint32_t stopTimeoutMs, std::uint64_t elapsedMs);

// The service controls that stop the program (the system's values): a stop, and the
// system's shutdown, at which the program would otherwise be ended without being asked. The
// pre-shutdown control comes first, and with the service's pre-shutdown timeout rather than
// the few seconds shutdown has: the whole StopTimeout. Shutdown still stops a runner that
// did not get it (one that was starting its program when it was sent).
constexpr std::uint32_t kControlStop = 1;
constexpr std::uint32_t kControlShutdown = 5;
constexpr std::uint32_t kControlPreshutdown = 15;
bool IsStopRequest(std::uint32_t control);

// The stop request goes out when the stop begins, and again at every later step while the
// program is young enough to be still starting up: it may not have listened yet. An older
// program heard the first one, and some programs take a second Ctrl+C during their orderly
// end as "end now" (Python breaks off its clean-up), so it is not repeated to them.
constexpr std::uint32_t kAskAgainWhileYoungerThanMs = 10000;
bool ShouldAskAgain(std::uint64_t programAgeMs);

}  // namespace qm::runner
