// The readiness and health decisions on a fake clock, with scripted probe answers: when a
// probe is ordered, what its answer (or its silence, or the program's own word) makes of the
// run, and what a stop or an earlier run's late answer changes (nothing).
#include "runner/core/run_checks.h"

#include <gtest/gtest.h>

#include <vector>

namespace qm::runner {
namespace {

using V = CheckVerdict;

enum class Do {
  kTick,     // expects bProbe/bRound as given
  kPass,     // the last ordered probe answers
  kFail,     // ... fails, seeing "refused"
  kLate,     // the probe ordered before the last answers: a pass no longer awaited
  kSignal,   // the program says something (signal)
  kAbandon,  // a stop: the run is over
  kBegin,    // a new run of the program
};

struct Step {
  std::uint64_t ullAt;
  Do what;
  V verdict = V::kNone;
  bool bProbe = false;
  bool bRound = false;
  CheckSignal signal = CheckSignal::kNotifyReady;
};

ProbeTarget Target(const char* pszText) {
  ProbeTarget target;
  std::string strWhy;
  EXPECT_TRUE(ParseProbeTarget(pszText, true, &target, &strWhy)) << pszText;
  return target;
}

// Ready: tcp, 250 ms rounds for 1000 ms. Health: none.
CheckSettings ReadyTcp() {
  CheckSettings settings;
  settings.ready = Target("tcp:8080");
  settings.dwReadyTimeoutMs = 1000;
  settings.dwReadyIntervalMs = 250;
  settings.dwProbeTimeoutMs = 5000;
  return settings;
}

// No ReadyCheck; health every 1000 ms, a probe's 500 ms, unhealthy at 3 failures in a row.
CheckSettings Health(const char* pszCheck, std::uint32_t dwRetries = 3) {
  CheckSettings settings;
  settings.health = Target(pszCheck);
  settings.dwHealthIntervalMs = 1000;
  settings.dwProbeTimeoutMs = 500;
  settings.dwHealthRetries = dwRetries;
  return settings;
}

struct Case {
  const char* pszName;
  CheckSettings settings;
  V begun;  // what Begin(0) says
  std::vector<Step> steps;
  CheckStage stage;
  const char* pszSeen;
};

void RunCase(const Case& c) {
  SCOPED_TRACE(c.pszName);
  CRunChecks checks(c.settings);
  EXPECT_EQ(checks.Begin(0), c.begun);
  std::vector<unsigned> orders;
  for (std::size_t i = 0; i < c.steps.size(); ++i) {
    const Step& step = c.steps[i];
    SCOPED_TRACE("step " + std::to_string(i) + " at " + std::to_string(step.ullAt));
    V verdict = V::kNone;
    switch (step.what) {
      case Do::kTick: {
        const CheckTick tick = checks.Tick(step.ullAt);
        verdict = tick.verdict;
        EXPECT_EQ(tick.bProbe, step.bProbe);
        EXPECT_EQ(tick.bRound, step.bRound);
        if (tick.bProbe) orders.push_back(tick.probe.nId);
        break;
      }
      case Do::kPass:
      case Do::kFail:
        ASSERT_FALSE(orders.empty());
        verdict = checks.OnAnswer(orders.back(), step.what == Do::kPass, "refused", step.ullAt);
        break;
      case Do::kLate:
        ASSERT_GE(orders.size(), 2u);
        verdict = checks.OnAnswer(orders[orders.size() - 2], true, "", step.ullAt);
        break;
      case Do::kSignal:
        verdict = checks.OnSignal(step.signal, step.ullAt);
        break;
      case Do::kAbandon:
        checks.Abandon();
        EXPECT_EQ(checks.DueInMs(step.ullAt), kNothingDue);
        break;
      case Do::kBegin:
        verdict = checks.Begin(step.ullAt);
        break;
    }
    EXPECT_EQ(verdict, step.verdict);
  }
  EXPECT_EQ(checks.Stage(), c.stage);
  EXPECT_EQ(checks.LastSeen(), c.pszSeen);
}

constexpr bool kProbe = true;
constexpr bool kRound = true;

TEST(RunChecks, ReadinessProbesEachIntervalUntilItPassesOrTheTimeoutEndsTheWait) {
  const Case cases[] = {
      {"passes at the second probe",
       ReadyTcp(),
       V::kNone,
       {{0, Do::kTick, V::kNone, kProbe, kRound},
        {3, Do::kFail},
        {100, Do::kTick},  // not due yet
        {250, Do::kTick, V::kNone, kProbe, kRound},
        {251, Do::kPass, V::kReady},
        {5000, Do::kTick}},  // no HealthCheck: nothing is ever due again
       CheckStage::kReady,
       ""},
      {"never passes: not ready at the timeout, with what the last probe saw",
       ReadyTcp(),
       V::kNone,
       {{0, Do::kTick, V::kNone, kProbe, kRound},
        {1, Do::kFail},
        {250, Do::kTick, V::kNone, kProbe, kRound},
        {251, Do::kFail},
        {500, Do::kTick, V::kNone, kProbe, kRound},
        {750, Do::kTick},  // the probe of 500 has not answered: no second one meanwhile
        {760, Do::kFail},
        {999, Do::kTick, V::kNone, kProbe, kRound},
        {1000, Do::kTick, V::kNotReady},
        {1001, Do::kPass}},  // too late
       CheckStage::kNotReady,
       "refused"},
      {"a probe that never answers",
       ReadyTcp(),
       V::kNone,
       {{0, Do::kTick, V::kNone, kProbe, kRound}, {1000, Do::kTick, V::kNotReady}},
       CheckStage::kNotReady,
       "no answer within 1000 ms"},  // the probe had the time left, not all of HealthTimeout
      {"a stop during a probe: its answer changes nothing",
       ReadyTcp(),
       V::kNone,
       {{0, Do::kTick, V::kNone, kProbe, kRound},
        {10, Do::kAbandon},
        {20, Do::kPass},
        {5000, Do::kTick}},
       CheckStage::kWaitingForReady,
       ""},
      {"an earlier run's answer does not make the new run ready",
       ReadyTcp(),
       V::kNone,
       {{0, Do::kTick, V::kNone, kProbe, kRound},
        {100, Do::kBegin},
        {100, Do::kTick, V::kNone, kProbe, kRound},
        {150, Do::kLate},
        {160, Do::kFail},
        {350, Do::kTick, V::kNone, kProbe, kRound},
        {360, Do::kPass, V::kReady}},
       CheckStage::kReady,
       ""},
  };
  for (const Case& c : cases) RunCase(c);
}

TEST(RunChecks, PassiveReadinessWaitsForTheProgramsWordWithRoundsForProgress) {
  CheckSettings notify = ReadyTcp();
  notify.ready = Target("notify");
  notify.health = Target("notify");
  CheckSettings output = ReadyTcp();
  output.ready = Target("output:Listening");
  output.health = Target("output:alive");
  const Case cases[] = {
      {"READY=1 at once, whatever came before it",
       notify,
       V::kNone,
       {{0, Do::kTick},
        {250, Do::kTick, V::kNone, false, kRound},
        {260, Do::kSignal, V::kNone, false, false, CheckSignal::kNotifyWatchdog},
        {270, Do::kSignal, V::kNone, false, false, CheckSignal::kReadyLine},
        {300, Do::kSignal, V::kReady, false, false, CheckSignal::kNotifyReady},
        {310, Do::kSignal, V::kNone, false, false, CheckSignal::kNotifyReady}},
       CheckStage::kReady,
       ""},
      {"the ReadyCheck's line, not the HealthCheck's",
       output,
       V::kNone,
       {{10, Do::kSignal, V::kNone, false, false, CheckSignal::kHealthLine},
        {20, Do::kSignal, V::kReady, false, false, CheckSignal::kReadyLine}},
       CheckStage::kReady,
       ""},
      {"silence",
       notify,
       V::kNone,
       {{250, Do::kTick, V::kNone, false, kRound},
        {500, Do::kTick, V::kNone, false, kRound},
        {750, Do::kTick, V::kNone, false, kRound},
        {1000, Do::kTick, V::kNotReady}},
       CheckStage::kNotReady,
       "no READY=1 from the program"},
  };
  for (const Case& c : cases) RunCase(c);
}

TEST(RunChecks, HealthCountsFailuresInARowAndAPassResetsThem) {
  const Case cases[] = {
      {"a pass after failures recovers; three in a row are unhealthy",
       Health("http://localhost:8080/health"),
       V::kReady,
       {{999, Do::kTick},
        {1000, Do::kTick, V::kNone, kProbe},
        {1010, Do::kFail, V::kFailed},
        {2000, Do::kTick, V::kNone, kProbe},
        {2010, Do::kPass, V::kRecovered},
        {3000, Do::kTick, V::kNone, kProbe},
        {3010, Do::kFail, V::kFailed},
        {4000, Do::kTick, V::kNone, kProbe},
        {4010, Do::kFail, V::kFailed},
        {5000, Do::kTick, V::kNone, kProbe},
        {5010, Do::kFail, V::kUnhealthy},
        {6000, Do::kTick}},  // the run is over
       CheckStage::kUnhealthy,
       "refused"},
      {"a probe without an answer fails at its timeout; the next one follows at once",
       Health("tcp:8080", 2),
       V::kReady,
       {{1000, Do::kTick, V::kNone, kProbe},
        {2499, Do::kTick},
        {2500, Do::kTick, V::kFailed, kProbe},
        {2600, Do::kLate},  // the first one, too late
        {2700, Do::kPass, V::kRecovered}},
       CheckStage::kReady,
       "no answer within 500 ms"},
      {"one retry: the first failure ends the run",
       Health("exec:check.cmd", 1),
       V::kReady,
       {{1000, Do::kTick, V::kNone, kProbe}, {1400, Do::kFail, V::kUnhealthy}},
       CheckStage::kUnhealthy,
       "refused"},
      {"WATCHDOG=1 in every interval is healthy; an interval without one fails",
       Health("notify", 2),
       V::kReady,
       {{500, Do::kSignal, V::kPassed, false, false, CheckSignal::kNotifyWatchdog},
        {1000, Do::kTick},
        {2000, Do::kTick, V::kFailed},
        {2100, Do::kSignal, V::kRecovered, false, false, CheckSignal::kNotifyWatchdog},
        {3000, Do::kTick},
        {4000, Do::kTick, V::kFailed},
        {4500, Do::kSignal, V::kNone, false, false, CheckSignal::kNotifyReady},
        {5000, Do::kTick, V::kUnhealthy}},
       CheckStage::kUnhealthy,
       "no WATCHDOG=1 within 1000 ms"},
      {"a stop while the health probe is out",
       Health("tcp:8080", 1),
       V::kReady,
       {{1000, Do::kTick, V::kNone, kProbe}, {1100, Do::kAbandon}, {1200, Do::kFail}},
       CheckStage::kReady,
       ""},
  };
  for (const Case& c : cases) RunCase(c);
}

TEST(RunChecks, ARunCountsAsGoodFromReadinessUntilItsFailuresBegan) {
  CheckSettings settings = ReadyTcp();
  settings.health = Target("tcp:8080");
  settings.dwHealthIntervalMs = 1000;
  settings.dwHealthRetries = 2;
  CRunChecks checks(settings);
  checks.Begin(0);
  EXPECT_EQ(checks.GoodRunMs(900), 0u);  // not ready yet
  CheckTick tick = checks.Tick(0);
  ASSERT_TRUE(tick.bProbe);
  ASSERT_EQ(checks.OnAnswer(tick.probe.nId, true, "", 200), V::kReady);
  EXPECT_EQ(checks.GoodRunMs(700), 500u);
  tick = checks.Tick(1200);
  ASSERT_EQ(checks.OnAnswer(tick.probe.nId, false, "HTTP 503", 1300), V::kFailed);
  tick = checks.Tick(2300);
  ASSERT_EQ(checks.OnAnswer(tick.probe.nId, false, "HTTP 503", 2400), V::kUnhealthy);
  EXPECT_EQ(checks.GoodRunMs(9000), 1100u);
  // A run that was never ready never counts as good, however long it tried.
  checks.Begin(10000);
  EXPECT_TRUE(checks.Tick(10500).bProbe);
  EXPECT_EQ(checks.Tick(20000).verdict, V::kNotReady);
  EXPECT_EQ(checks.GoodRunMs(20000), 0u);
}

TEST(ReadyWaitHint, CoversTwoRoundsOrARoundAfterTheLongestProbe) {
  CheckSettings settings = ReadyTcp();
  EXPECT_EQ(ReadyWaitHintMs(settings), 250u + 5000u + kProbeGraceMs);
  settings.dwReadyIntervalMs = 20000;
  EXPECT_EQ(ReadyWaitHintMs(settings), 40000u);
  settings.ready = Target("notify");
  settings.dwReadyIntervalMs = 250;
  EXPECT_EQ(ReadyWaitHintMs(settings), 500u);
}

}  // namespace
}  // namespace qm::runner
