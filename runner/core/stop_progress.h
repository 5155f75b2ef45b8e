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

}  // namespace qm::runner
