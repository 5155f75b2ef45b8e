#include "runner/core/stop_progress.h"

#include <gtest/gtest.h>

namespace qm::runner {
namespace {

// Walks a whole stop as the runner does when the program never ends: the waits must add up
// to the timeout exactly, and every hint must outlast the wait that follows it.
std::uint64_t WalkStop(std::uint32_t timeoutMs, int* pnReports) {
  std::uint64_t elapsed = 0;
  *pnReports = 0;
  for (;;) {
    StopStep step = PlanStopStep(timeoutMs, elapsed);
    if (step.bTimedOut) {
      EXPECT_GE(step.dwWaitHintMs, kEndAllowanceMs);
      return elapsed;
    }
    EXPECT_GT(step.dwWaitMs, 0u);
    EXPECT_LE(step.dwWaitMs, kStopSliceMs);
    EXPECT_GT(step.dwWaitHintMs, step.dwWaitMs);
    elapsed += step.dwWaitMs;
    ++*pnReports;
  }
}

TEST(PlanStopStep, WaitsExactlyTheStopTimeoutInSlices) {
  int nReports = 0;
  EXPECT_EQ(WalkStop(15000, &nReports), 15000u);
  EXPECT_EQ(nReports, 15);
  EXPECT_EQ(WalkStop(2500, &nReports), 2500u);
  EXPECT_EQ(nReports, 3);  // 1000, 1000, 500
}

TEST(PlanStopStep, AZeroTimeoutEndsTheProgramAtOnce) {
  StopStep step = PlanStopStep(0, 0);
  EXPECT_TRUE(step.bTimedOut);
  EXPECT_EQ(step.dwWaitMs, 0u);
}

TEST(PlanStopStep, LateWakeUpsNeitherOverrunNorUnderflow) {
  EXPECT_TRUE(PlanStopStep(1000, 5000).bTimedOut);
  EXPECT_EQ(PlanStopStep(1000, 999).dwWaitMs, 1u);
  // The largest timeout does not wrap around in the arithmetic.
  StopStep step = PlanStopStep(0xFFFFFFFFu, 0);
  EXPECT_FALSE(step.bTimedOut);
  EXPECT_EQ(step.dwWaitMs, kStopSliceMs);
}

TEST(IsStopRequest, AStopAndTheSystemsShutdownAndPreShutdownStopTheProgram) {
  // The system's values: stop 1, pause 2, continue 3, interrogate 4, shutdown 5, param change
  // 6, device event 11, power event 13, session change 14, pre-shutdown 15, time change 16,
  // and the runner's own rotation control 128.
  const struct {
    std::uint32_t control;
    bool bStop;
  } cases[] = {{1, true},  {5, true},   {15, true},  {2, false},  {3, false},  {4, false},
               {6, false}, {11, false}, {13, false}, {14, false}, {16, false}, {128, false}};
  for (const auto& test : cases) {
    EXPECT_EQ(IsStopRequest(test.control), test.bStop) << test.control;
  }
}

TEST(ShouldAskAgain, OnlyWhileTheProgramMayStillBeStartingUp) {
  EXPECT_TRUE(ShouldAskAgain(0));
  EXPECT_TRUE(ShouldAskAgain(kAskAgainWhileYoungerThanMs - 1));
  EXPECT_FALSE(ShouldAskAgain(kAskAgainWhileYoungerThanMs));
  EXPECT_FALSE(ShouldAskAgain(24ull * 3600 * 1000));
}

}  // namespace
}  // namespace qm::runner
