#include "runner/core/restart_policy.h"

#include <gtest/gtest.h>

#include <vector>

namespace qm::runner {
namespace {

RestartSettings Settings(RestartMode mode, std::uint32_t delayMs, std::uint32_t maxMs,
                         std::uint32_t limit = 0) {
  return {mode, delayMs, maxMs, limit};
}

struct Run {
  std::uint64_t runMs;
  AfterExit action;
  std::uint32_t delayMs;
};

// Feeds runs that all end with exit code 3 and checks each decision in turn.
void ExpectRuns(const RestartSettings& settings, const std::vector<Run>& runs) {
  CRestartBackoff backoff(settings);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    RestartDecision decision = backoff.OnProgramEnded(3, runs[i].runMs);
    EXPECT_EQ(decision.action, runs[i].action) << "run " << i;
    EXPECT_EQ(decision.dwDelayMs, runs[i].delayMs) << "run " << i;
  }
}

TEST(RestartBackoff, DoublesAfterEachShortRunUpToTheCap) {
  ExpectRuns(Settings(RestartMode::kOnFailure, 200, 800), {{0, AfterExit::kRestart, 200},
                                                           {10, AfterExit::kRestart, 400},
                                                           {799, AfterExit::kRestart, 800},
                                                           {0, AfterExit::kRestart, 800},
                                                           {0, AfterExit::kRestart, 800}});
  // A cap that is no power-of-two multiple of the delay is reached exactly, not overshot.
  CRestartBackoff backoff(Settings(RestartMode::kOnFailure, 1000, 60000));
  for (int i = 0; i < 6; ++i) backoff.OnProgramEnded(3, 0);  // 1 to 32 seconds
  EXPECT_EQ(backoff.OnProgramEnded(3, 0).dwDelayMs, 60000u);
}

TEST(RestartBackoff, ARunThatLastedTheCapStartsAfresh) {
  ExpectRuns(Settings(RestartMode::kOnFailure, 200, 800), {{0, AfterExit::kRestart, 200},
                                                           {0, AfterExit::kRestart, 400},
                                                           {0, AfterExit::kRestart, 800},
                                                           {800, AfterExit::kRestart, 200},
                                                           {0, AfterExit::kRestart, 200},
                                                           {0, AfterExit::kRestart, 400}});
}

TEST(RestartBackoff, GivesUpAfterTheLimitOfRestartsInARow) {
  CRestartBackoff backoff(Settings(RestartMode::kOnFailure, 100, 1000, 2));
  EXPECT_EQ(backoff.OnProgramEnded(3, 0).dwRestartsInRow, 1u);
  EXPECT_EQ(backoff.OnProgramEnded(3, 0).dwRestartsInRow, 2u);
  // A long run clears the count: two more restarts are allowed.
  EXPECT_EQ(backoff.OnProgramEnded(3, 5000).dwRestartsInRow, 1u);
  EXPECT_EQ(backoff.OnProgramEnded(3, 0).action, AfterExit::kRestart);
  RestartDecision last = backoff.OnProgramEnded(7, 0);
  EXPECT_EQ(last.action, AfterExit::kGiveUp);
  EXPECT_EQ(last.dwRestartsInRow, 2u);

  // Without a limit it never gives up.
  CRestartBackoff unlimited(Settings(RestartMode::kAlways, 1, 2, 0));
  for (int i = 0; i < 1000; ++i)
    ASSERT_EQ(unlimited.OnProgramEnded(1, 0).action, AfterExit::kRestart);
}

TEST(RestartBackoff, TheModeDecidesWhichExitCodesRestart) {
  struct Case {
    RestartMode mode;
    std::uint32_t exitCode;
    AfterExit action;
  } const cases[] = {
      {RestartMode::kOnFailure, 0, AfterExit::kStop},
      {RestartMode::kOnFailure, 0xC0000005u, AfterExit::kRestart},
      {RestartMode::kAlways, 0, AfterExit::kRestart},
      {RestartMode::kNever, 3, AfterExit::kStop},
  };
  for (const Case& c : cases) {
    CRestartBackoff backoff(Settings(c.mode, 100, 1000));
    EXPECT_EQ(backoff.OnProgramEnded(c.exitCode, 0).action, c.action) << c.exitCode;
  }
}

TEST(RestartBackoff, HugeDelaysNeitherOverflowNorWaitForever) {
  ExpectRuns(Settings(RestartMode::kOnFailure, 0x90000000u, 0xFFFFFFFFu),
             {{0, AfterExit::kRestart, 0x90000000u},
              {0, AfterExit::kRestart, kMaxRestartDelayMs},
              {0, AfterExit::kRestart, kMaxRestartDelayMs}});
}

}  // namespace
}  // namespace qm::runner
