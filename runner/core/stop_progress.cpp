#include "runner/core/stop_progress.h"

namespace qm::runner {

StopStep PlanStopStep(std::uint32_t stopTimeoutMs, std::uint64_t elapsedMs) {
  StopStep step;
  if (elapsedMs >= stopTimeoutMs) {
    step.bTimedOut = true;
    step.dwWaitHintMs = kEndAllowanceMs;
    return step;
  }
  std::uint64_t remaining = stopTimeoutMs - elapsedMs;
  step.dwWaitMs = static_cast<std::uint32_t>(remaining < kStopSliceMs ? remaining : kStopSliceMs);
  step.dwWaitHintMs = step.dwWaitMs + kEndAllowanceMs;
  return step;
}

bool IsStopRequest(std::uint32_t control) {
  return control == kControlStop || control == kControlShutdown || control == kControlPreshutdown;
}

bool ShouldAskAgain(std::uint64_t programAgeMs) {
  return programAgeMs < kAskAgainWhileYoungerThanMs;
}

}  // namespace qm::runner
