#include "runner/core/run_settings.h"

#include <gtest/gtest.h>

namespace qm::runner {
namespace {

TEST(RunSettings, DefaultsRestartOnFailureAtNormalPriority) {
  RunSettings settings;
  std::string strProblem;
  ASSERT_TRUE(MakeRunSettings(RunSettingValues{}, settings, strProblem)) << strProblem;
  EXPECT_EQ(settings.restart.mode, RestartMode::kOnFailure);
  EXPECT_EQ(settings.restart.dwDelayMs, 1000u);
  EXPECT_EQ(settings.restart.dwDelayMaxMs, 60000u);
  EXPECT_EQ(settings.restart.dwLimit, 0u);
  EXPECT_EQ(settings.priority, ProcessPriority::kNormal);
}

TEST(RunSettings, WordsAreAcceptedInAnyCase) {
  RestartMode mode = RestartMode::kOnFailure;
  EXPECT_TRUE(ParseRestartMode("never", mode));
  EXPECT_EQ(mode, RestartMode::kNever);
  EXPECT_TRUE(ParseRestartMode("ALWAYS", mode));
  EXPECT_EQ(mode, RestartMode::kAlways);
  EXPECT_TRUE(ParseRestartMode("onfailure", mode));
  EXPECT_EQ(mode, RestartMode::kOnFailure);
  ProcessPriority priority = ProcessPriority::kNormal;
  EXPECT_TRUE(ParsePriority("belownormal", priority));
  EXPECT_EQ(priority, ProcessPriority::kBelowNormal);
  EXPECT_TRUE(ParsePriority("Idle", priority));
  EXPECT_EQ(priority, ProcessPriority::kIdle);
  EXPECT_TRUE(ParsePriority("HIGH", priority));
  EXPECT_EQ(priority, ProcessPriority::kHigh);
  for (const char* pszWord : {"", "On Failure", "Never ", "Realtime", "Normal2", "Low"}) {
    EXPECT_FALSE(ParseRestartMode(pszWord, mode)) << pszWord;
    EXPECT_FALSE(ParsePriority(pszWord, priority)) << pszWord;
  }
}

TEST(RunSettings, ARefusedValueIsNamedInTheProblem) {
  struct Case {
    void (*change)(RunSettingValues&);
    const char* pszExpected;  // a part of the description
  } const cases[] = {
      {[](RunSettingValues& v) { v.strRestart = "Sometimes"; },
       "the Restart value \"Sometimes\" is not OnFailure, Always or Never"},
      {[](RunSettingValues& v) { v.strPriority = "Realtime"; },
       "the Priority value \"Realtime\" is not Idle, BelowNormal, Normal, AboveNormal or High"},
      {[](RunSettingValues& v) {
         v.environment = {"A=1", "NOEQUALS"};
       },
       "Environment value's entry \"NOEQUALS\""},
      {[](RunSettingValues& v) { v.environment = {"=C:=C:\\"}; }, "entry \"=C:=C:\\\""},
      {[](RunSettingValues& v) { v.dwRestartDelayMs = 0; }, "RestartDelay value is 0"},
      {[](RunSettingValues& v) { v.dwRestartDelayMaxMs = 500; },
       "RestartDelayMax value 500 is smaller than the RestartDelay value 1000"},
  };
  for (const Case& c : cases) {
    RunSettingValues values;
    c.change(values);
    RunSettings settings;
    std::string strProblem;
    EXPECT_FALSE(MakeRunSettings(values, settings, strProblem)) << c.pszExpected;
    EXPECT_NE(strProblem.find(c.pszExpected), std::string::npos) << strProblem;
  }
}

TEST(RunSettings, AcceptedValuesArePassedOn) {
  RunSettingValues values;
  values.strRestart = "always";
  values.dwRestartDelayMs = 200;
  values.dwRestartDelayMaxMs = 200;  // a fixed delay
  values.dwRestartLimit = 5;
  values.environment = {"A=1", "B="};
  values.strPriority = "abovenormal";
  RunSettings settings;
  std::string strProblem;
  ASSERT_TRUE(MakeRunSettings(values, settings, strProblem)) << strProblem;
  EXPECT_EQ(settings.restart.mode, RestartMode::kAlways);
  EXPECT_EQ(settings.restart.dwDelayMs, 200u);
  EXPECT_EQ(settings.restart.dwDelayMaxMs, 200u);
  EXPECT_EQ(settings.restart.dwLimit, 5u);
  EXPECT_EQ(settings.priority, ProcessPriority::kAboveNormal);
}

}  // namespace
}  // namespace qm::runner
