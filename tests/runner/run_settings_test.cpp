#include "runner/core/run_settings.h"

#include <gtest/gtest.h>

namespace qm::runner {
namespace {

TEST(RunSettings, WordsAreAcceptedInAnyCaseAndNothingElse) {
  RestartMode mode = RestartMode::kOnFailure;
  ProcessPriority priority = ProcessPriority::kNormal;
  EXPECT_TRUE(ParseRestartMode("never", mode) && mode == RestartMode::kNever);
  EXPECT_TRUE(ParseRestartMode("ALWAYS", mode) && mode == RestartMode::kAlways);
  EXPECT_TRUE(ParsePriority("belownormal", priority) && priority == ProcessPriority::kBelowNormal);
  EXPECT_TRUE(ParsePriority("HIGH", priority) && priority == ProcessPriority::kHigh);
  for (const char* pszWord : {"", "On Failure", "Never ", "Realtime", "Normal2"}) {
    EXPECT_FALSE(ParseRestartMode(pszWord, mode)) << pszWord;
    EXPECT_FALSE(ParsePriority(pszWord, priority)) << pszWord;
  }
  // What a service without the values gets.
  RunSettings settings;
  std::string strProblem;
  ASSERT_TRUE(MakeRunSettings(RunSettingValues{}, settings, strProblem)) << strProblem;
  EXPECT_EQ(settings.restart.mode, RestartMode::kOnFailure);
  EXPECT_EQ(settings.priority, ProcessPriority::kNormal);
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

}  // namespace
}  // namespace qm::runner
