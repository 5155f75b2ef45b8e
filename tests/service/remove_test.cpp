// The Remove command against the fake platform: questions, outcomes, releases and the wait.

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "service/service_commands.h"
#include "tests/platform/fake_platform.h"

namespace qm::svc::test {
namespace {

using namespace qm::platform::test;

using namespace std::string_literals;

constexpr const char* kConfirm = "Are you sure that you\nwant to remove QmSvc?";
constexpr const char* kReconfirm =
    "Are you ABSOLUTELY sure that\nyou want to remove QmSvc?\n\nThis service was not installed\n"
    "using Quillmont!\n\nRemoving an essential service\ncould render the system\ninoperable!";
constexpr const char* kRemoved = "QmSvc was successfully removed.";
constexpr const char* kNotRemoved = "QmSvc was NOT removed.";

// Answers the questions as scripted and notes each as "1: text" or "2: text".
class CScriptedConfirm : public IRemoveConfirm {
 public:
  bool Confirm(RemoveQuestion question, const std::string& strText) override {
    m_asked.push_back((question == RemoveQuestion::kConfirm ? "1: " : "2: ") + strText);
    if (m_answers.empty()) {
      ADD_FAILURE() << "a question nobody scripted an answer for: " << strText;
      return false;
    }
    const bool bYes = m_answers.front();
    m_answers.pop_front();
    return bYes;
  }
  std::deque<bool> m_answers;
  std::vector<std::string> m_asked;
};

std::string First(const char* pszText) {
  return "1: "s + pszText;
}
std::string Second(const char* pszText) {
  return "2: "s + pszText;
}

class SvcRemoveTest : public ::testing::Test {
 protected:
  FakeService& AddOurs(std::uint32_t startType, std::uint32_t state = kServiceStopped) {
    FakeService& service = fake.AddService("QmSvc", startType, state);
    fake.SetValue("SYSTEM\\CurrentControlSet\\Services\\QmSvc\\Parameters", "Installer", kRegSz,
                  "quillmnt\0"s);
    return service;
  }
  CommandOutcome Remove(const char* pszName = "QmSvc") {
    RemoveRequest request;
    request.strServiceName = pszName;
    return commands.Remove(request, confirm);
  }
  void ExpectEverythingReleased() {
    EXPECT_EQ(fake.OpenHandleCount(), 0u);
    EXPECT_EQ(fake.LiveBlockCount(), 0u);
  }

  CFakePlatform fake;
  CScriptedConfirm confirm;
  CServiceCommands commands{fake.Platform()};
};

TEST_F(SvcRemoveTest, UnknownOrDifferentlyCasedNameIsNotRegistered) {
  AddOurs(kServiceDemandStart);
  for (const char* pszName : {"qmsvc", "Other"}) {
    const CommandOutcome outcome = Remove(pszName);
    EXPECT_EQ(outcome.kind, OutcomeKind::kRefused);
    EXPECT_EQ(outcome.refusal, Refusal::kNotRegistered);
    EXPECT_EQ(outcome.strText, "No service named "s + pszName + "\n is registered.");
  }
  EXPECT_TRUE(confirm.m_asked.empty());
  EXPECT_EQ(fake.CountCalls("OpenSCManager"), 0);
}

struct TableCase {
  bool bOwn;
  int nStartType;  // -1: the configuration cannot be read
};

class SvcConfirmationTableTest : public SvcRemoveTest,
                                 public ::testing::WithParamInterface<TableCase> {};

TEST_P(SvcConfirmationTableTest, AsksOnceOnlyForOurServicesThatStartAutomaticallyOrOnDemand) {
  const TableCase c = GetParam();
  const auto dwStartType = c.nStartType < 0 ? 3u : static_cast<std::uint32_t>(c.nStartType);
  if (c.bOwn) {
    AddOurs(dwStartType);
  } else {
    fake.AddService("QmSvc", dwStartType);
  }
  if (c.nStartType < 0) fake.FailCall("QueryServiceConfig", 5);
  confirm.m_answers = {true, true};

  const CommandOutcome outcome = Remove();

  std::vector<std::string> asked = {First(kConfirm)};
  if (c.nStartType >= 0 && (!c.bOwn || (c.nStartType != 2 && c.nStartType != 3))) {
    asked.push_back(Second(kReconfirm));
  }
  EXPECT_EQ(confirm.m_asked, asked);
  if (c.nStartType < 0) {
    EXPECT_EQ(outcome.kind, OutcomeKind::kFailed);
    EXPECT_EQ(outcome.step, FailedStep::kQueryConfig);
    EXPECT_EQ(outcome.strText,
              "Could not QueryServiceConfig on\n\nQmSvc\n\nAccess is denied. (0x5)");
  } else {
    EXPECT_EQ(outcome.kind, OutcomeKind::kRemoved);
    EXPECT_EQ(outcome.strText, kRemoved);
  }
  // The marker is read in every case, after the start type.
  const auto itConfig =
      std::find_if(fake.m_calls.begin(), fake.m_calls.end(),
                   [](const std::string& s) { return s.rfind("QueryServiceConfig", 0) == 0; });
  const auto itMarker = std::find_if(itConfig, fake.m_calls.end(), [](const std::string& s) {
    return s.rfind("RegOpenKeyEx", 0) == 0 && s.find("\\QmSvc\\Parameters") != std::string::npos;
  });
  EXPECT_NE(itMarker, fake.m_calls.end());
  EXPECT_EQ(fake.CountCalls("DeleteService"), c.nStartType < 0 ? 0 : 1);
  ExpectEverythingReleased();
}

INSTANTIATE_TEST_SUITE_P(
    OwnAndForeign, SvcConfirmationTableTest,
    ::testing::Values(TableCase{true, 0}, TableCase{true, 1}, TableCase{true, 2},
                      TableCase{true, 3}, TableCase{true, 4}, TableCase{true, -1},
                      TableCase{false, 0}, TableCase{false, 1}, TableCase{false, 2},
                      TableCase{false, 3}, TableCase{false, 4}, TableCase{false, -1}),
    [](const auto& info) {
      return std::string(info.param.bOwn ? "Own" : "Foreign") + "Start" +
             (info.param.nStartType < 0 ? std::string("Unknown")
                                        : std::to_string(info.param.nStartType));
    });

TEST_F(SvcRemoveTest, NoAtEitherQuestionEndsTheCommand) {
  fake.AddService("QmSvc", kServiceDemandStart);
  confirm.m_answers = {false};
  CommandOutcome outcome = Remove();
  EXPECT_EQ(outcome.refusal, Refusal::kNotConfirmed);
  EXPECT_EQ(outcome.strText, "");
  EXPECT_EQ(fake.CountCalls("OpenSCManager"), 0);

  fake.m_calls.clear();
  confirm.m_answers = {true, false};
  outcome = Remove();
  EXPECT_EQ(outcome.refusal, Refusal::kNotReconfirmed);
  EXPECT_EQ(outcome.strText, "");
  EXPECT_EQ(fake.CountCalls("OpenSCManager"), 1);  // the start type's only
  EXPECT_NE(fake.FindService("QmSvc"), nullptr);
  ExpectEverythingReleased();
}

struct RemoveFailure {
  const char* pszName;
  const char* pszCall;
  int nOccurrence;
  std::uint32_t dwCode;
  std::uint32_t dwState;  // of the service before the press
  OutcomeKind kind;
  FailedStep step;
  std::string strText;  // empty: the window says nothing more
};

class SvcRemoveFailureTest : public SvcRemoveTest,
                             public ::testing::WithParamInterface<RemoveFailure> {};

TEST_P(SvcRemoveFailureTest, EndsInTheFailedStepWithItsErrorAndReleasesEverything) {
  const RemoveFailure& c = GetParam();
  AddOurs(kServiceDemandStart, c.dwState);
  fake.FailCall(c.pszCall, c.dwCode, c.nOccurrence);
  confirm.m_answers = {true};
  const CommandOutcome outcome = Remove();

  EXPECT_EQ(confirm.m_asked, std::vector<std::string>{First(kConfirm)});
  EXPECT_EQ(outcome.kind, c.kind);
  EXPECT_EQ(outcome.step, c.step);
  EXPECT_EQ(outcome.dwError, c.kind == OutcomeKind::kRemoved ? 0u : c.dwCode);
  EXPECT_EQ(outcome.strText, c.strText);
  ExpectEverythingReleased();
}

constexpr OutcomeKind kFailed = OutcomeKind::kFailed;

INSTANTIATE_TEST_SUITE_P(
    EachCall, SvcRemoveFailureTest,
    ::testing::Values(
        RemoveFailure{"FirstManager", "OpenSCManager", 1, 5, kServiceStopped, kFailed,
                      FailedStep::kOpenManager,
                      "Could not open Service Control Manager.\n\nAccess is denied. (0x5)"},
        RemoveFailure{"FirstService", "OpenService", 1, 5, kServiceStopped, kFailed,
                      FailedStep::kOpenService, ""},
        RemoveFailure{"Config", "QueryServiceConfig", 0, 122, kServiceStopped, kFailed,
                      FailedStep::kQueryConfig,
                      "Could not QueryServiceConfig on\n\nQmSvc\n\nThe data area passed to a "
                      "system call is too small. (0x7a)"},
        RemoveFailure{"ConfigBlock", "GlobalAlloc", 0, 8, kServiceStopped, kFailed,
                      FailedStep::kQueryConfig,
                      "Could not QueryServiceConfig on\n\nQmSvc\n\nNot enough storage is "
                      "available to process this command. (0x8)"},
        RemoveFailure{"SecondManager", "OpenSCManager", 2, 5, kServiceStopped, kFailed,
                      FailedStep::kDelete, kNotRemoved},
        RemoveFailure{"SecondService", "OpenService", 2, 5, kServiceStopped, kFailed,
                      FailedStep::kDelete, kNotRemoved},
        RemoveFailure{"StopRequest", "ControlService", 0, 5, kServiceRunning, OutcomeKind::kRemoved,
                      FailedStep::kNone, kRemoved},
        RemoveFailure{"StatusQuery", "QueryServiceStatus", 0, 5, kServiceRunning,
                      OutcomeKind::kRemoved, FailedStep::kNone, kRemoved},
        RemoveFailure{"Deletion", "DeleteService", 0, 1072, kServiceStopped, kFailed,
                      FailedStep::kDelete, kNotRemoved}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(SvcRemoveTest, ConfigurationFailureTakesItsTextBeforeClosingAndReleasesInOrder) {
  AddOurs(kServiceDemandStart);
  fake.FailCall("QueryServiceConfig", 5);
  confirm.m_answers = {true};
  Remove();
  const std::vector<std::string> names = fake.CallNames();
  auto it = std::find(names.begin(), names.end(), "QueryServiceConfig");
  ASSERT_NE(it, names.end());
  // The text is taken before the handles go; then service, manager, block.
  EXPECT_EQ(std::vector<std::string>(it + 1, it + 6),
            (std::vector<std::string>{"FormatMessage", "LocalFree", "CloseServiceHandle",
                                      "CloseServiceHandle", "GlobalFree"}));
  EXPECT_EQ(fake.CountCalls("GlobalAlloc"), 1);
  const std::string strQuery = fake.m_calls[static_cast<std::size_t>(it - names.begin())];
  EXPECT_EQ(strQuery.substr(strQuery.find(',')), ",4096)");
}

TEST_F(SvcRemoveTest, MissingConfigurationBlockIsNeitherReadNorReleased) {
  AddOurs(kServiceDemandStart);
  fake.FailCall("GlobalAlloc", 8);
  confirm.m_answers = {true};
  Remove();
  EXPECT_EQ(fake.CountCalls("QueryServiceConfig"), 0);
  EXPECT_EQ(fake.CountCalls("GlobalFree"), 0);
}

TEST_F(SvcRemoveTest, ConfigurationLargerThanTheBlockFails) {
  AddOurs(kServiceDemandStart).cbConfig = 5000;
  confirm.m_answers = {true};
  const CommandOutcome outcome = Remove();
  EXPECT_EQ(outcome.step, FailedStep::kQueryConfig);
  EXPECT_EQ(outcome.dwError, 122u);
  EXPECT_NE(fake.FindService("QmSvc"), nullptr);
}

struct PollCase {
  const char* pszName;
  int nPendingQueries;  // -1: never stops
  std::uint32_t dwWaitHint;
  std::size_t cWaits;
};

class SvcStopWaitTest : public SvcRemoveTest, public ::testing::WithParamInterface<PollCase> {};

TEST_P(SvcStopWaitTest, WaitsASecondAtATimeWhileStoppingUpToTheBound) {
  const PollCase& c = GetParam();
  FakeService& service = AddOurs(kServiceAutoStart, kServiceRunning);
  service.nStopPendingWaits = c.nPendingQueries;
  service.dwWaitHint = c.dwWaitHint;

  EXPECT_TRUE(commands.StopAndDeleteService("QmSvc"));

  EXPECT_EQ(fake.m_sleeps, std::vector<std::uint32_t>(c.cWaits, 1000u));
  EXPECT_EQ(fake.CountCalls("QueryServiceStatus"), static_cast<int>(c.cWaits));
  // Each wait is followed by one query; the deletion comes after the last.
  const std::vector<std::string> names = fake.CallNames();
  const auto itDelete = std::find(names.begin(), names.end(), "DeleteService");
  ASSERT_NE(itDelete, names.end());
  EXPECT_EQ(*(itDelete - 1), "QueryServiceStatus");
  // Stopped: gone once the handles closed; still stopping: marked, gone when it stops.
  EXPECT_EQ(fake.FindService("QmSvc") == nullptr, c.nPendingQueries >= 0);
  ExpectEverythingReleased();
}

INSTANTIATE_TEST_SUITE_P(Polling, SvcStopWaitTest,
                         ::testing::Values(PollCase{"StopsAtOnce", 0, 0, 1},
                                           PollCase{"AfterOneWait", 1, 0, 2},
                                           PollCase{"AfterSeveral", 7, 0, 8},
                                           PollCase{"NeverWithinTheDefaultBound", -1, 0, 30},
                                           PollCase{"NeverWithALongerHint", -1, 45000, 45},
                                           PollCase{"NeverWithAHintPastTheCap", -1, 600000, 120},
                                           PollCase{"StopsJustAtTheBound", 29, 0, 30}),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(SvcRemoveTest, StoppedServiceIsDeletedWithoutWaiting) {
  AddOurs(kServiceAutoStart, kServiceStopped);
  EXPECT_TRUE(commands.StopAndDeleteService("QmSvc"));
  EXPECT_TRUE(fake.m_sleeps.empty());
  EXPECT_EQ(fake.CountCalls("QueryServiceStatus"), 0);
  EXPECT_EQ(fake.CountCalls("ControlService"), 1);
}

}  // namespace
}  // namespace qm::svc::test
