#include "runner/core/restart_policy.h"

#include <gtest/gtest.h>

#include <vector>

namespace qm::runner {
namespace {

constexpr AfterExit kRestart = AfterExit::kRestart;
constexpr AfterExit kStop = AfterExit::kStop;
constexpr AfterExit kGiveUp = AfterExit::kGiveUp;
constexpr RestartMode kOnFailure = RestartMode::kOnFailure;

// One program end and the decision it must meet.
struct ProgramEnd {
  std::uint32_t exitCode;
  std::uint64_t runMs;
  AfterExit action;
  std::uint32_t delayMs;
  std::uint32_t restartsInRow;
  bool bChecksFailed = false;  // the runner ended the run for its checks; exitCode unused
};
constexpr bool kChecks = true;

TEST(RestartBackoff, DecidesEachEndInTurn) {
  struct Case {
    const char* pszName;
    RestartSettings settings;
    std::vector<ProgramEnd> runs;
  } const cases[] = {
      {"doubles after each short run up to the cap",
       {kOnFailure, 200, 800, 0},
       {{3, 0, kRestart, 200, 1},
        {3, 10, kRestart, 400, 2},
        {3, 799, kRestart, 800, 3},
        {3, 0, kRestart, 800, 4},
        {3, 0, kRestart, 800, 5}}},
      // A cap that is no power-of-two multiple of the delay is reached exactly, not overshot.
      {"odd cap",
       {kOnFailure, 1000, 60000, 0},
       {{3, 0, kRestart, 1000, 1},
        {3, 0, kRestart, 2000, 2},
        {3, 0, kRestart, 4000, 3},
        {3, 0, kRestart, 8000, 4},
        {3, 0, kRestart, 16000, 5},
        {3, 0, kRestart, 32000, 6},
        {3, 0, kRestart, 60000, 7}}},
      {"a run that lasted the cap starts afresh",
       {kOnFailure, 5000, 20000, 0},
       {{3, 0, kRestart, 5000, 1},
        {3, 0, kRestart, 10000, 2},
        {3, 19999, kRestart, 20000, 3},
        {3, 20000, kRestart, 5000, 1},
        {3, 0, kRestart, 5000, 2},
        {3, 0, kRestart, 10000, 3}}},
      // Below the floor a run is short however long the cap says a good run is.
      {"a cap shorter than the floor: only a run of the floor starts afresh",
       {kOnFailure, 200, 800, 0},
       {{3, 0, kRestart, 200, 1},
        {3, 800, kRestart, 400, 2},
        {3, 9999, kRestart, 800, 3},
        {3, kGoodRunFloorMs, kRestart, 200, 1},
        {3, 0, kRestart, 200, 2}}},
      // A good run clears the count: two more restarts are allowed before it gives up.
      {"gives up after the limit of restarts in a row",
       {kOnFailure, 100, 1000, 2},
       {{3, 0, kRestart, 100, 1},
        {3, 0, kRestart, 200, 2},
        {3, 10000, kRestart, 100, 1},
        {3, 0, kRestart, 100, 2},
        {7, 0, kGiveUp, 0, 2}}},
      // Every run outlasts a cap of 1 ms; the limit applies all the same.
      {"a cap of 1 ms still gives up at the limit",
       {RestartMode::kAlways, 1, 1, 3},
       {{3, 1, kRestart, 1, 1},
        {0, 50, kRestart, 1, 2},
        {3, 9999, kRestart, 1, 3},
        {3, 2, kGiveUp, 0, 3}}},
      {"huge delays neither overflow nor wait forever",
       {kOnFailure, 0x90000000u, 0xFFFFFFFFu, 0},
       {{3, 0, kRestart, 0x90000000u, 1},
        {3, 0, kRestart, kMaxRestartDelayMs, 2},
        {3, 0, kRestart, kMaxRestartDelayMs, 3}}},
      {"OnFailure: a clean end", {kOnFailure, 100, 1000, 0}, {{0, 0, kStop, 0, 0}}},
      {"OnFailure: a crash", {kOnFailure, 100, 1000, 0}, {{0xC0000005u, 0, kRestart, 100, 1}}},
      {"Always", {RestartMode::kAlways, 100, 1000, 0}, {{0, 0, kRestart, 100, 1}}},
      {"Never", {RestartMode::kNever, 100, 1000, 0}, {{3, 0, kStop, 0, 0}}},
      // A run that failed its checks is a failure whatever its exit code, and counts with
      // the program's own ends towards the limit.
      {"OnFailure: failed checks restart, back off and give up",
       {kOnFailure, 100, 1000, 3},
       {{0, 0, kRestart, 100, 1, kChecks},
        {3, 0, kRestart, 200, 2},
        {0, 0, kRestart, 400, 3, kChecks},
        {0, 0, kGiveUp, 0, 3, kChecks}}},
      {"failed checks after a good run start afresh",
       {RestartMode::kAlways, 100, 1000, 0},
       {{0, 0, kRestart, 100, 1, kChecks}, {0, 10000, kRestart, 100, 1, kChecks}}},
      {"Never: failed checks stop",
       {RestartMode::kNever, 100, 1000, 0},
       {{0, 0, kStop, 0, 0, kChecks}}},
  };
  for (const Case& c : cases) {
    CRestartBackoff backoff(c.settings);
    for (std::size_t i = 0; i < c.runs.size(); ++i) {
      const ProgramEnd& run = c.runs[i];
      RestartDecision decision = run.bChecksFailed
                                     ? backoff.OnRunFailed(run.runMs)
                                     : backoff.OnProgramEnded(run.exitCode, run.runMs);
      EXPECT_EQ(decision.action, run.action) << c.pszName << ", run " << i;
      EXPECT_EQ(decision.dwDelayMs, run.delayMs) << c.pszName << ", run " << i;
      EXPECT_EQ(decision.dwRestartsInRow, run.restartsInRow) << c.pszName << ", run " << i;
    }
  }

  // Without a limit it never gives up.
  CRestartBackoff unlimited({RestartMode::kAlways, 1, 2, 0});
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(unlimited.OnProgramEnded(1, 0).action, kRestart);
}

}  // namespace
}  // namespace qm::runner
