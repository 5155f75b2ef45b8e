// The Remove command against the fake platform: questions, outcomes, releases and the wait.

#include <gtest/gtest.h>

#include <string>

#include "service/service_commands.h"
#include "tests/service/fake_platform.h"
#include "tests/service/test_form.h"

namespace qm::svc::test {
namespace {

using namespace std::string_literals;

constexpr const char* kConfirm = "Are you sure that you\nwant to remove QmSvc?";
constexpr const char* kReconfirm =
    "Are you ABSOLUTELY sure that\nyou want to remove QmSvc?\n\nThis service was not installed\n"
    "using Quillmont!\n\nRemoving an essential service\ncould render the system\ninoperable!";
constexpr const char* kRemoved = "QmSvc was successfully removed.";
constexpr const char* kNotRemoved = "QmSvc was NOT removed.";

class SvcRemoveTest : public ::testing::Test {
 protected:
  SvcRemoveTest() { form.m_fields = {{IDC_SERVICE_NAME, "QmSvc"}, {IDC_STARTUP, "Automatic"}}; }

  FakeService& AddOurs(std::uint32_t startType, std::uint32_t state = kServiceStopped) {
    FakeService& service = fake.AddService("QmSvc", startType, state);
    fake.SetValue("SYSTEM\\CurrentControlSet\\Services\\QmSvc\\Parameters", "Installer", kRegSz,
                  "quillmnt\0"s);
    return service;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const MessageBoxCall& box : fake.m_boxes) texts.push_back(box.strText);
    return texts;
  }
  void ExpectEverythingReleased() {
    EXPECT_EQ(fake.OpenHandleCount(), 0u);
    EXPECT_EQ(fake.LiveBlockCount(), 0u);
  }

  CFakePlatform fake;
  CTestForm form;
  CServiceCommands commands{fake.Platform(), form};
};

TEST_F(SvcRemoveTest, UnknownOrDifferentlyCasedNameIsNotRegistered) {
  AddOurs(kServiceDemandStart);
  for (const char* pszName : {"qmsvc", "Other"}) {
    form.m_fields[IDC_SERVICE_NAME] = pszName;
    fake.m_boxes.clear();
    commands.OnRemove();
    ASSERT_EQ(fake.m_boxes.size(), 1u);
    EXPECT_EQ(fake.m_boxes[0].strText, "No service named "s + pszName + "\n is registered.");
    EXPECT_EQ(fake.m_boxes[0].strCaption, "No Service");
    EXPECT_EQ(fake.m_boxes[0].dwStyle, kMbOk | kMbIconExclamation);
  }
  EXPECT_EQ(fake.CountCalls("OpenSCManager"), 0);
  EXPECT_EQ(form.m_fields[IDC_SERVICE_NAME], "Other");
}

struct TableCase {
  int nOwn;
  int nStartType;  // -1: the configuration cannot be read
};

class SvcConfirmationTableTest : public SvcRemoveTest,
                                 public ::testing::WithParamInterface<TableCase> {};

TEST_P(SvcConfirmationTableTest, AsksOnceOnlyForOurServicesThatStartAutomaticallyOrOnDemand) {
  const TableCase c = GetParam();
  if (c.nOwn) {
    AddOurs(c.nStartType < 0 ? 3u : static_cast<std::uint32_t>(c.nStartType));
  } else {
    fake.AddService("QmSvc", c.nStartType < 0 ? 3u : static_cast<std::uint32_t>(c.nStartType));
  }
  if (c.nStartType < 0) fake.FailCall("QueryServiceConfig", 5);
  for (int i = 0; i < 3; ++i) fake.QueueAnswer(kIdYes);

  commands.OnRemove();

  std::vector<std::string> expected = {kConfirm};
  if (c.nStartType < 0) {
    expected.push_back("Could not QueryServiceConfig on\n\nQmSvc\n\nAccess is denied. (0x5)");
  } else {
    if (!c.nOwn || (c.nStartType != 2 && c.nStartType != 3)) expected.push_back(kReconfirm);
    expected.push_back(kRemoved);
  }
  EXPECT_EQ(Texts(), expected);
  // The marker is read in every case, after the start type.
  const auto itConfig =
      std::find_if(fake.m_calls.begin(), fake.m_calls.end(),
                   [](const std::string& s) { return s.rfind("QueryServiceConfig", 0) == 0; });
  const auto itMarker = std::find_if(itConfig, fake.m_calls.end(), [](const std::string& s) {
    return s.rfind("RegOpenKeyEx", 0) == 0 && s.find("\\QmSvc\\Parameters") != std::string::npos;
  });
  EXPECT_NE(itMarker, fake.m_calls.end());
  EXPECT_EQ(fake.CountCalls("DeleteService"), c.nStartType < 0 ? 0 : 1);
  EXPECT_EQ(form.m_fields[IDC_SERVICE_NAME], c.nStartType < 0 ? "QmSvc" : "");
  ExpectEverythingReleased();
}

INSTANTIATE_TEST_SUITE_P(OwnAndForeign, SvcConfirmationTableTest,
                         ::testing::Values(TableCase{1, 0}, TableCase{1, 1}, TableCase{1, 2},
                                           TableCase{1, 3}, TableCase{1, 4}, TableCase{1, -1},
                                           TableCase{0, 0}, TableCase{0, 1}, TableCase{0, 2},
                                           TableCase{0, 3}, TableCase{0, 4}, TableCase{0, -1}),
                         [](const auto& info) {
                           return std::string(info.param.nOwn ? "Own" : "Foreign") + "Start" +
                                  (info.param.nStartType < 0
                                       ? std::string("Unknown")
                                       : std::to_string(info.param.nStartType));
                         });

TEST_F(SvcRemoveTest, SuccessAndItsStyles) {
  AddOurs(kServiceAutoStart);
  form.m_fields[IDC_DISPLAY_NAME] = "kept";
  fake.QueueAnswer(kIdYes);
  commands.OnRemove();
  ASSERT_EQ(fake.m_boxes.size(), 2u);
  EXPECT_EQ(fake.m_boxes[0].strCaption, "Please Confirm");
  EXPECT_EQ(fake.m_boxes[0].dwStyle, kMbYesNo | kMbIconQuestion);
  EXPECT_EQ(fake.m_boxes[1].strCaption, "Success!");
  EXPECT_EQ(fake.m_boxes[1].dwStyle, kMbOk | kMbIconInformation);
  EXPECT_EQ(form.m_writes, std::vector<int>{IDC_SERVICE_NAME});
  EXPECT_EQ(form.m_fields[IDC_DISPLAY_NAME], "kept");
  EXPECT_EQ(fake.FindService("QmSvc"), nullptr);
  EXPECT_EQ(fake.m_sleeps.size(), 0u);  // not running: no wait
  EXPECT_EQ(fake.CountCalls("OpenSCManager"), 2);
  ExpectEverythingReleased();
}

TEST_F(SvcRemoveTest, ReconfirmHasItsCaptionAndStyle) {
  fake.AddService("QmSvc", kServiceDemandStart);
  fake.QueueAnswer(kIdYes);
  fake.QueueAnswer(kIdYes);
  commands.OnRemove();
  ASSERT_EQ(fake.m_boxes.size(), 3u);
  EXPECT_EQ(fake.m_boxes[1].strCaption, "Please Reconfirm");
  EXPECT_EQ(fake.m_boxes[1].dwStyle, kMbYesNo | kMbIconHand);
}

TEST_F(SvcRemoveTest, NoAtEitherQuestionEndsTheCommand) {
  fake.AddService("QmSvc", kServiceDemandStart);
  fake.QueueAnswer(kIdNo);
  commands.OnRemove();
  EXPECT_EQ(fake.m_boxes.size(), 1u);
  EXPECT_EQ(fake.CallNames().back(), "MessageBox");  // nothing after the question
  EXPECT_EQ(fake.CountCalls("OpenSCManager"), 0);

  fake.m_calls.clear();
  fake.QueueAnswer(kIdYes);
  fake.QueueAnswer(kIdNo);
  commands.OnRemove();
  EXPECT_EQ(fake.m_boxes.size(), 3u);
  EXPECT_EQ(fake.CallNames().back(), "MessageBox");
  EXPECT_EQ(fake.CountCalls("OpenSCManager"), 1);  // the start type's only
  EXPECT_NE(fake.FindService("QmSvc"), nullptr);
  EXPECT_EQ(form.m_fields[IDC_SERVICE_NAME], "QmSvc");

  // Any answer but Yes counts as No.
  fake.m_calls.clear();
  fake.QueueAnswer(2);  // IDCANCEL
  commands.OnRemove();
  EXPECT_EQ(fake.CountCalls("OpenSCManager"), 0);
  ExpectEverythingReleased();
}

struct RemoveFailure {
  const char* pszName;
  const char* pszCall;
  int nOccurrence;
  std::uint32_t dwCode;
  std::uint32_t dwState;           // of the service before the press
  std::vector<std::string> texts;  // after the first question
  bool bRemoved;
};

class SvcRemoveFailureTest : public SvcRemoveTest,
                             public ::testing::WithParamInterface<RemoveFailure> {};

TEST_P(SvcRemoveFailureTest, ShowsExactlyTheMessagesAndReleasesEverything) {
  const RemoveFailure& c = GetParam();
  AddOurs(kServiceDemandStart, c.dwState);
  fake.FailCall(c.pszCall, c.dwCode, c.nOccurrence);
  fake.QueueAnswer(kIdYes);
  commands.OnRemove();

  std::vector<std::string> expected = {kConfirm};
  expected.insert(expected.end(), c.texts.begin(), c.texts.end());
  EXPECT_EQ(Texts(), expected);
  if (fake.m_boxes.size() > 1) {
    const MessageBoxCall& last = fake.m_boxes.back();
    const bool bNotRemoved = last.strText == kNotRemoved;
    EXPECT_EQ(last.strCaption, c.bRemoved ? "Success!" : "Error");
    EXPECT_EQ(last.dwStyle, c.bRemoved    ? kMbOk | kMbIconInformation
                            : bNotRemoved ? kMbOk | kMbIconHand
                                          : kMbOk | kMbIconExclamation);
  }
  EXPECT_EQ(form.m_fields[IDC_SERVICE_NAME], c.bRemoved ? "" : "QmSvc");
  ExpectEverythingReleased();
}

INSTANTIATE_TEST_SUITE_P(
    EachCall, SvcRemoveFailureTest,
    ::testing::Values(
        RemoveFailure{"FirstManager",
                      "OpenSCManager",
                      1,
                      5,
                      kServiceStopped,
                      {"Could not open Service Control Manager.\n\nAccess is denied. (0x5)"},
                      false},
        RemoveFailure{"FirstService", "OpenService", 1, 5, kServiceStopped, {}, false},
        RemoveFailure{"Config",
                      "QueryServiceConfig",
                      0,
                      122,
                      kServiceStopped,
                      {"Could not QueryServiceConfig on\n\nQmSvc\n\nThe data area passed to a "
                       "system call is too small. (0x7a)"},
                      false},
        RemoveFailure{"ConfigBlock",
                      "GlobalAlloc",
                      0,
                      8,
                      kServiceStopped,
                      {"Could not QueryServiceConfig on\n\nQmSvc\n\nNot enough storage is "
                       "available to process this command. (0x8)"},
                      false},
        RemoveFailure{
            "SecondManager", "OpenSCManager", 2, 5, kServiceStopped, {kNotRemoved}, false},
        RemoveFailure{"SecondService", "OpenService", 2, 5, kServiceStopped, {kNotRemoved}, false},
        RemoveFailure{"StopRequest", "ControlService", 0, 5, kServiceRunning, {kRemoved}, true},
        RemoveFailure{"StatusQuery", "QueryServiceStatus", 0, 5, kServiceRunning, {kRemoved}, true},
        RemoveFailure{"Deletion", "DeleteService", 0, 1072, kServiceStopped, {kNotRemoved}, false}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(SvcRemoveTest, ConfigurationFailureTakesItsTextBeforeClosingAndReleasesInOrder) {
  AddOurs(kServiceDemandStart);
  fake.FailCall("QueryServiceConfig", 5);
  fake.QueueAnswer(kIdYes);
  commands.OnRemove();
  const std::vector<std::string> names = fake.CallNames();
  auto it = std::find(names.begin(), names.end(), "QueryServiceConfig");
  ASSERT_NE(it, names.end());
  // The text is taken and shown before the handles go; then service, manager, block.
  EXPECT_EQ(std::vector<std::string>(it + 1, it + 7),
            (std::vector<std::string>{"FormatMessage", "LocalFree", "MessageBox",
                                      "CloseServiceHandle", "CloseServiceHandle", "GlobalFree"}));
  EXPECT_EQ(fake.CountCalls("GlobalAlloc"), 1);
  const std::string strQuery = fake.m_calls[static_cast<std::size_t>(it - names.begin())];
  EXPECT_EQ(strQuery.substr(strQuery.find(',')), ",4096)");
}

TEST_F(SvcRemoveTest, MissingConfigurationBlockIsNeitherReadNorReleased) {
  AddOurs(kServiceDemandStart);
  fake.FailCall("GlobalAlloc", 8);
  fake.QueueAnswer(kIdYes);
  commands.OnRemove();
  EXPECT_EQ(fake.CountCalls("QueryServiceConfig"), 0);
  EXPECT_EQ(fake.CountCalls("GlobalFree"), 0);
}

TEST_F(SvcRemoveTest, ConfigurationLargerThanTheBlockFails) {
  AddOurs(kServiceDemandStart).cbConfig = 5000;
  fake.QueueAnswer(kIdYes);
  commands.OnRemove();
  ASSERT_EQ(fake.m_boxes.size(), 2u);
  EXPECT_NE(fake.m_boxes[1].strText.find("(0x7a)"), std::string::npos);
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

  EXPECT_NE(commands.StopAndDeleteService("QmSvc"), 0);

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
  EXPECT_NE(commands.StopAndDeleteService("QmSvc"), 0);
  EXPECT_TRUE(fake.m_sleeps.empty());
  EXPECT_EQ(fake.CountCalls("QueryServiceStatus"), 0);
  EXPECT_EQ(fake.CountCalls("ControlService"), 1);
}

TEST_F(SvcRemoveTest, ServiceAlreadyMarkedForDeletionIsNotRemoved) {
  AddOurs(kServiceAutoStart, kServiceRunning).bMarkedForDelete = true;
  fake.QueueAnswer(kIdYes);
  commands.OnRemove();
  EXPECT_EQ(Texts().back(), kNotRemoved);
  EXPECT_EQ(fake.m_boxes.back().dwStyle, kMbOk | kMbIconHand);
  EXPECT_EQ(form.m_fields[IDC_SERVICE_NAME], "QmSvc");
  ExpectEverythingReleased();
}

}  // namespace
}  // namespace qm::svc::test
