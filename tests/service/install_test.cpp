// The Install command against the fake platform: the outcome of each request, what it creates
// and that it releases everything.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "service/dependency_list.h"
#include "service/preshutdown_timeout.h"
#include "service/runner_path.h"
#include "service/service_commands.h"
#include "tests/platform/fake_platform.h"

namespace qm::svc::test {
namespace {

using namespace qm::platform::test;

using namespace std::string_literals;

constexpr const char* kParams = "SYSTEM\\CurrentControlSet\\Services\\QmSvc\\Parameters";

class SvcInstallTest : public ::testing::Test {
 protected:
  SvcInstallTest() {
    request.strServiceName = "QmSvc";
    request.strDisplayName = "Qm Service";
    request.strArguments = "-port 80";
    request.strExecutable = "C:\\App\\app.exe";
    request.strWorkingDirectory = "C:\\App";
  }
  void ExpectEverythingReleased() {
    EXPECT_EQ(fake.OpenHandleCount(), 0u);
    EXPECT_EQ(fake.LiveBlockCount(), 0u);
  }
  std::string Value(const char* name) {
    FakeKey* pKey = fake.FindKey(kParams);
    if (pKey == nullptr || pKey->values.count(name) == 0) return "<missing>";
    EXPECT_EQ(pKey->values[name].type, kRegSz) << name;
    return pKey->values[name].data;
  }

  CFakePlatform fake;
  InstallRequest request;
  CServiceCommands commands{fake.Platform()};
};

TEST_F(SvcInstallTest, CreatesTheServiceAndFillsItsParametersKey) {
  request.strArguments = "";
  const CommandOutcome outcome = commands.Install(request);

  EXPECT_EQ(outcome.kind, OutcomeKind::kCreated);
  EXPECT_EQ(outcome.step, FailedStep::kNone);
  EXPECT_EQ(outcome.strText, "QmSvc\n\nwas successfully created.");
  FakeService* pService = fake.FindService("QmSvc");
  ASSERT_NE(pService, nullptr);
  EXPECT_EQ(pService->strDisplayName, "Qm Service");
  EXPECT_EQ(pService->strBinaryPath, "C:\\Tools\\carrack.exe");
  EXPECT_EQ(pService->dwType, kServiceWin32OwnProcess);
  EXPECT_EQ(pService->dwStartType, kServiceAutoStart);
  EXPECT_FALSE(pService->bHadDependencies);

  // Values in order, each with its NUL counted; the empty one is a one-byte string.
  std::vector<std::string> sets;
  for (const std::string& strCall : fake.m_calls) {
    if (strCall.rfind("RegSetValueEx", 0) == 0)
      sets.push_back(strCall.substr(strCall.find(',') + 1, strCall.size() - strCall.find(',') - 2));
  }
  EXPECT_EQ(sets, (std::vector<std::string>{
                      "\"Installer\",1,\"quillmnt\",9", "\"Arguments\",1,\"\",1",
                      "\"Runfile\",1,\"C:\\App\\app.exe\",15", "\"Directory\",1,\"C:\\App\",7"}));
  EXPECT_EQ(Value("Installer"), "quillmnt\0"s);
  EXPECT_EQ(Value("Arguments"), "\0"s);
  EXPECT_EQ(fake.FindKey(kParams)->strClass, "LocalSystem");
  // The runner's default StopTimeout's pre-shutdown timeout, on the new service.
  EXPECT_EQ(fake.CountCalls("ChangePreshutdownTimeout"), 1);
  for (const std::string& strCall : fake.m_calls) {
    if (strCall.rfind("ChangePreshutdownTimeout(", 0) == 0) {
      EXPECT_EQ(strCall.substr(strCall.find(',')), ",180000)");
    }
  }
  ExpectEverythingReleased();

  request.strServiceName = "OnDemand";
  request.bAutoStart = false;
  ASSERT_EQ(commands.Install(request).kind, OutcomeKind::kCreated);
  EXPECT_EQ(fake.FindService("OnDemand")->dwStartType, kServiceDemandStart);
}

struct FailureCase {
  const char* pszName;
  const char* pszCall;
  int nOccurrence;
  std::uint32_t dwCode;
  OutcomeKind kind;  // kCreated: the service stays, its key incomplete
  FailedStep step;
  int cValuesTried;  // RegSetValueEx calls
  std::string strText;
};

std::string Created(const std::string& strParagraphs) {
  return "QmSvc\n\nwas successfully created." + strParagraphs;
}

// The text after a paragraph is the registry's own reason for the failed step, not the
// unrelated error left over from before the press.
const char* const kDenied = "Access is denied. (0x5)";
const std::string kP = "\nHowever, the Parameter subkey\ncould not be created.\n\n"s + kDenied;
const std::string kI = "\nHowever, the Installer value could\nnot be assigned.\n\n"s + kDenied;
const std::string kA = "\nHowever, the Arguments value could\nnot be assigned.\n\n"s + kDenied;
const std::string kR = "\nHowever, the Runfile value could\nnot be assigned.\n\n"s + kDenied;
const std::string kD = "\nHowever, the Directory value could\nnot be assigned.\n\n"s + kDenied;
const std::string kS = "\nHowever, the pre-shutdown timeout\ncould not be set.\n\n"s + kDenied;

class SvcInstallFailureTest : public SvcInstallTest,
                              public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SvcInstallFailureTest, EndsInTheFailedStepWithItsErrorAndReleasesEverything) {
  const FailureCase& c = GetParam();
  fake.FailCall(c.pszCall, c.dwCode, c.nOccurrence);
  if (std::string(c.pszName) == "RunfileAndDirectory") fake.FailCall("RegSetValueEx", 5, 4);
  fake.SetLastError(1073);
  const CommandOutcome outcome = commands.Install(request);

  EXPECT_EQ(outcome.kind, c.kind);
  EXPECT_EQ(outcome.step, c.step);
  EXPECT_EQ(outcome.dwError, c.dwCode);
  EXPECT_EQ(outcome.strText, c.strText);
  EXPECT_FALSE(outcome.Succeeded());
  EXPECT_EQ(fake.FindService("QmSvc") != nullptr, c.kind == OutcomeKind::kCreated);
  EXPECT_EQ(fake.CountCalls("RegSetValueEx"), c.cValuesTried);
  ExpectEverythingReleased();
}

constexpr OutcomeKind kCreated = OutcomeKind::kCreated;
constexpr OutcomeKind kFailed = OutcomeKind::kFailed;

INSTANTIATE_TEST_SUITE_P(
    EachCall, SvcInstallFailureTest,
    ::testing::Values(
        FailureCase{"Manager", "OpenSCManager", 0, 5, kFailed, FailedStep::kOpenManager, 0,
                    "Could not open Service Control Manager.\n\nQmSvc\n was NOT installed.\n\n"
                    "Access is denied. (0x5)"},
        // The fake's handle closing clears the last error, as the system may: the text is
        // still the creation's.
        FailureCase{"Creation", "CreateService", 0, 1072, kFailed, FailedStep::kCreateService, 0,
                    "Could not create service.\n\nQmSvc\n was NOT installed.\n\n"
                    "The specified service has been marked for deletion. (0x430)"},
        FailureCase{"Key", "RegCreateKeyEx", 0, 5, kCreated, FailedStep::kParametersKey, 0,
                    Created(kP)},
        // Opening the key for a value: the Services key's open for the list comes first.
        FailureCase{"InstallerOpen", "RegOpenKeyEx", 2, 5, kCreated, FailedStep::kInstallerValue, 0,
                    Created(kI)},
        FailureCase{"Installer", "RegSetValueEx", 1, 5, kCreated, FailedStep::kInstallerValue, 1,
                    Created(kI)},
        FailureCase{"Arguments", "RegSetValueEx", 2, 5, kCreated, FailedStep::kArgumentsValue, 2,
                    Created(kA)},
        // Directory is written all the same after a failed Runfile.
        FailureCase{"Runfile", "RegSetValueEx", 3, 5, kCreated, FailedStep::kRunfileValue, 4,
                    Created(kR)},
        FailureCase{"Directory", "RegSetValueEx", 4, 5, kCreated, FailedStep::kDirectoryValue, 4,
                    Created(kD)},
        FailureCase{"RunfileAndDirectory", "RegSetValueEx", 3, 5, kCreated,
                    FailedStep::kRunfileValue, 4, Created(kR + kD)},
        // The key is complete; the service keeps the system's timeout.
        FailureCase{"Preshutdown", "ChangePreshutdownTimeout", 0, 5, kCreated,
                    FailedStep::kPreshutdownTimeout, 4, Created(kS)},
        FailureCase{"ModulePath", "GetModuleFileName", 0, 8, kFailed, FailedStep::kModulePath, 0,
                    "Could not find the folder of this program.\n\nQmSvc\n was NOT installed."
                    "\n\nNot enough storage is available to process this command. (0x8)"}),
    [](const auto& info) { return std::string(info.param.pszName); });

// What is decided before the manager is opened, after the list of names was rebuilt.
struct EarlyCase {
  const char* pszName;
  std::string strService;
  std::string strExecutable;
  std::string strModulePath;  // empty: the fake's own
  OutcomeKind kind;
  Refusal refusal;
  std::string strText;
};

class SvcInstallEarlyTest : public SvcInstallTest,
                            public ::testing::WithParamInterface<EarlyCase> {};

TEST_P(SvcInstallEarlyTest, RefusesWhatCannotBeInstalledBeforeTheManagerIsOpened) {
  const EarlyCase& c = GetParam();
  request.strServiceName = c.strService;
  request.strExecutable = c.strExecutable;
  if (!c.strModulePath.empty()) fake.SetModulePath(c.strModulePath);
  const CommandOutcome outcome = commands.Install(request);

  EXPECT_EQ(outcome.kind, c.kind);
  EXPECT_EQ(outcome.refusal, c.refusal);
  EXPECT_EQ(outcome.step,
            c.kind == OutcomeKind::kFailed ? FailedStep::kModulePath : FailedStep::kNone);
  EXPECT_EQ(outcome.strText, c.strText);
  EXPECT_EQ(fake.CountCalls("RegEnumKeyEx"), 1);  // the list was rebuilt all the same
  EXPECT_EQ(fake.CountCalls("OpenSCManager"), c.kind == OutcomeKind::kCreated ? 1 : 0);
}

const std::string kApp = "C:\\App\\app.exe";
const std::string kSpace = "Please do not use any spaces\nin the service name.";
const std::string kQuote =
    "Please do not use quotes in the executable.\nIts arguments belong in the Arguments field.";

INSTANTIATE_TEST_SUITE_P(
    Refusals, SvcInstallEarlyTest,
    ::testing::Values(
        EarlyCase{"SpaceInside", "Qm Svc", kApp, "", OutcomeKind::kRefused, Refusal::kSpaceInName,
                  kSpace},
        EarlyCase{"SpaceFirst", " QmSvc", kApp, "", OutcomeKind::kRefused, Refusal::kSpaceInName,
                  kSpace},
        EarlyCase{"SpaceLast", "QmSvc ", kApp, "", OutcomeKind::kRefused, Refusal::kSpaceInName,
                  kSpace},
        // A tab is no space: it reaches the Service Control Manager.
        EarlyCase{"Tab", "Qm\tSvc", kApp, "", OutcomeKind::kCreated, Refusal::kNone,
                  "Qm\tSvc\n\nwas successfully created."},
        EarlyCase{"QuotedWithArguments", "QmSvc", "\"C:\\app\\app.exe\" -x", "",
                  OutcomeKind::kRefused, Refusal::kQuoteInExecutable, kQuote},
        EarlyCase{"QuoteInName", "QmSvc", "C:\\a\"b.exe", "", OutcomeKind::kRefused,
                  Refusal::kQuoteInExecutable, kQuote},
        EarlyCase{"OpeningQuoteOnly", "QmSvc", "\"C:\\app\\app.exe", "", OutcomeKind::kRefused,
                  Refusal::kQuoteInExecutable, kQuote},
        // Quoted whole, the runner takes it.
        EarlyCase{"QuotedWhole", "QmSvc", "\"C:\\Program Files\\app.exe\"", "",
                  OutcomeKind::kCreated, Refusal::kNone, "QmSvc\n\nwas successfully created."},
        EarlyCase{"ModulePathCut", "QmSvc", kApp, "C:\\" + std::string(300, 'd') + "\\q.exe",
                  OutcomeKind::kFailed, Refusal::kNone,
                  "Could not find the folder of this program.\n\nQmSvc\n was NOT installed.\n\n"
                  "The data area passed to a system call is too small. (0x7a)"},
        // The module path fits (259 characters); its folder and carrack.exe do not.
        EarlyCase{"RunnerPathTooLong", "QmSvc", kApp, "C:\\" + std::string(250, 'd') + "\\q.exe",
                  OutcomeKind::kRefused, Refusal::kRunnerPathTooLong,
                  "The path of carrack.exe is too long.\n\nQmSvc\n was NOT installed.\n\n"}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(SvcInstallTest, DuplicateLookupIsCaseSensitive) {
  fake.AddService("MyApp", 3);
  request.strServiceName = "MyApp";
  CommandOutcome outcome = commands.Install(request);
  EXPECT_EQ(outcome.refusal, Refusal::kAlreadyRegistered);
  EXPECT_EQ(outcome.strText, "A service named MyApp\n is already registered.");
  EXPECT_EQ(fake.CountCalls("OpenSCManager"), 0);

  request.strServiceName = "myapp";
  outcome = commands.Install(request);
  EXPECT_EQ(outcome.step, FailedStep::kCreateService);
  EXPECT_EQ(outcome.strText,
            "Could not create service.\n\nmyapp\n was NOT installed.\n\n"
            "The specified service already exists. (0x431)");
  ExpectEverythingReleased();
}

TEST_F(SvcInstallTest, RunnerPathIsQuotedOnlyWhenItHasABlank) {
  fake.SetModulePath("C:\\Program Files\\Qm\\quillmnt.exe");
  commands.Install(request);
  ASSERT_NE(fake.FindService("QmSvc"), nullptr);
  EXPECT_EQ(fake.FindService("QmSvc")->strBinaryPath, "\"C:\\Program Files\\Qm\\carrack.exe\"");
}

TEST(SvcPreshutdownTimeoutTest, StopTimeoutAndMarginWithinTheFloorAndTheRunnersMaximum) {
  const struct {
    std::uint32_t stopMs;
    std::uint32_t timeoutMs;
  } cases[] = {
      {0, 180000},           // never below the system's largest default
      {15000, 180000},       // the runner's default StopTimeout
      {175000, 180000},      // just meets the floor
      {175001, 180001},      // the margin on top from there on
      {300000, 305000},      //
      {600000, 605000},      // the runner's largest StopTimeout
      {600001, 605000},      // one the runner refuses gains nothing
      {0xFFFFFFFF, 605000},  // and does not wrap around
  };
  for (const auto& test : cases) {
    EXPECT_EQ(PreshutdownTimeoutMs(test.stopMs), test.timeoutMs) << test.stopMs;
  }
}

TEST(SvcRunnerPathTest, FitsExactlyOrIsRefused) {
  char sz[kMaxPath];
  // Folder of 248 characters + "carrack.exe" = 259: fits with its NUL.
  const std::string strFolder = "C:\\" + std::string(244, 'd') + "\\";
  ASSERT_EQ(strFolder.size(), 248u);
  EXPECT_TRUE(MakeRunnerPath((strFolder + "q.exe").c_str(), sz, sizeof(sz)));
  EXPECT_EQ(std::string(sz), strFolder + "carrack.exe");
  EXPECT_FALSE(MakeRunnerPath((strFolder + "d\\q.exe").c_str(), sz, sizeof(sz)));
  EXPECT_STREQ(sz, "");
  // Quoted, the same folder is two characters too long; two shorter it fits.
  const std::string strBlank = "C:\\" + std::string(243, 'd') + " \\";
  EXPECT_FALSE(MakeRunnerPath((strBlank + "q.exe").c_str(), sz, sizeof(sz)));
  const std::string strBlankShort = "C:\\" + std::string(241, 'd') + " \\";
  EXPECT_TRUE(MakeRunnerPath((strBlankShort + "q.exe").c_str(), sz, sizeof(sz)));
  EXPECT_EQ(std::string(sz), "\"" + strBlankShort + "carrack.exe\"");
  EXPECT_EQ(std::string(sz).size(), 259u);
  // Drive only, and forward slashes.
  EXPECT_TRUE(MakeRunnerPath("D:quillmnt.exe", sz, sizeof(sz)));
  EXPECT_STREQ(sz, "D:carrack.exe");
  EXPECT_TRUE(MakeRunnerPath("D:/Tools/quillmnt.exe", sz, sizeof(sz)));
  EXPECT_STREQ(sz, "D:/Tools/carrack.exe");
  // A blank only in the file name does not matter: it is replaced.
  EXPECT_TRUE(MakeRunnerPath("D:\\Tools\\quill mnt.exe", sz, sizeof(sz)));
  EXPECT_STREQ(sz, "D:\\Tools\\carrack.exe");
}

// The list as the Service Control Manager reads it: names up to the first empty one, with
// every NUL it reads.
std::string ListBytes(CFakePlatform& fake, const char* text) {
  CDependencyList list(fake, text);
  if (list.List() == nullptr) return "<null>";
  EXPECT_EQ(list.OwnsBlock(), true);
  EXPECT_EQ(fake.m_calls.back(), "GlobalAlloc(" + std::to_string(std::strlen(text) + 2) + ")");
  std::size_t cb = 0;
  while (list.List()[cb] != '\0') cb += std::strlen(list.List() + cb) + 1;
  return std::string(list.List(), cb + 1);
}

TEST(SvcDependencyListTest, SemicolonsEndNamesEmptyEntriesAreSkippedAndTwoNulsEndTheList) {
  CFakePlatform fake;
  const std::pair<const char*, std::string> cases[] = {
      {"", "<null>"},
      {";;", "<null>"},
      {"Alpha", "Alpha\0\0"s},
      {"Alpha;Beta", "Alpha\0Beta\0\0"s},
      {"Alpha;", "Alpha\0\0"s},
      {";Alpha", "Alpha\0\0"s},
      {"a;;b", "a\0b\0\0"s},
      {";;A;;", "A\0\0"s},
      {"Alpha; Beta", "Alpha\0 Beta\0\0"s},  // blanks are kept: a name may hold them
  };
  for (const auto& [pszText, strExpected] : cases) {
    EXPECT_EQ(ListBytes(fake, pszText), strExpected) << pszText;
  }
  EXPECT_EQ(fake.CountCalls("GlobalAlloc"), 7);
  EXPECT_EQ(fake.LiveBlockCount(), 0u);
}

TEST(SvcDependencyListTest, WithoutMemoryTheTextGoesOnUnconvertedAndStillEndsInTwoNuls) {
  CFakePlatform fake;
  fake.FailCall("GlobalAlloc", 8);
  {
    CDependencyList list(fake, "Alpha;Beta");
    EXPECT_FALSE(list.OwnsBlock());
    EXPECT_EQ(std::string(list.List(), 12), "Alpha;Beta\0\0"s);
  }
  // Longer than any form text: cut to fit, never read or written past a buffer.
  const std::string strLong(3000, 'x');
  CDependencyList list(fake, strLong.c_str());
  const std::string strList(list.List());
  EXPECT_EQ(strList.size(), CDependencyList::kFallbackCapacity - 2);
  EXPECT_EQ(list.List()[strList.size() + 1], '\0');
  EXPECT_EQ(fake.CountCalls("GlobalFree"), 0);
}

TEST_F(SvcInstallTest, DependenciesReachCreateServiceAndTheBlockIsReleased) {
  request.strDependencies = "Alpha;Beta";
  ASSERT_EQ(commands.Install(request).kind, OutcomeKind::kCreated);
  ASSERT_NE(fake.FindService("QmSvc"), nullptr);
  EXPECT_EQ(fake.FindService("QmSvc")->strDependencies, "Alpha\0Beta\0\0"s);
  ExpectEverythingReleased();

  fake.FailCall("GlobalAlloc", 8);
  request.strServiceName = "Two";
  ASSERT_EQ(commands.Install(request).kind, OutcomeKind::kCreated);
  EXPECT_EQ(fake.FindService("Two")->strDependencies, "Alpha;Beta\0\0"s);
  EXPECT_EQ(fake.CountCalls("GlobalFree"), 1);
}

}  // namespace
}  // namespace qm::svc::test
