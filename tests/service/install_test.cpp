// The Install command against the fake platform: what each press shows, creates and releases.

#include <gtest/gtest.h>

#include <string>

#include "service/dependency_list.h"
#include "service/runner_path.h"
#include "service/service_commands.h"
#include "tests/service/fake_platform.h"
#include "tests/service/test_form.h"

namespace qm::svc::test {
namespace {

using namespace std::string_literals;

constexpr const char* kParams = "SYSTEM\\CurrentControlSet\\Services\\QmSvc\\Parameters";
constexpr std::uint32_t kStyleError = kMbOk | kMbIconExclamation;

class SvcInstallTest : public ::testing::Test {
 protected:
  SvcInstallTest() {
    form.m_fields = {{IDC_SERVICE_NAME, "QmSvc"}, {IDC_DISPLAY_NAME, "Qm Service"},
                     {IDC_STARTUP, "Automatic"},  {IDC_DEPENDENCIES, ""},
                     {IDC_ARGUMENTS, "-port 80"}, {IDC_EXECUTABLE, "C:\\App\\app.exe"},
                     {IDC_WORKING_DIR, "C:\\App"}};
  }
  // The form's fields that a created service empties.
  bool FormEmptied() {
    for (int id : {IDC_SERVICE_NAME, IDC_DISPLAY_NAME, IDC_DEPENDENCIES, IDC_ARGUMENTS,
                   IDC_EXECUTABLE, IDC_WORKING_DIR}) {
      if (!form.m_fields[id].empty()) return false;
    }
    return true;
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
  CTestForm form;
  CServiceCommands commands{fake.Platform(), form};
};

TEST_F(SvcInstallTest, CreatesTheServiceAndFillsItsParametersKey) {
  form.m_fields[IDC_ARGUMENTS] = "";
  commands.OnInstall();

  ASSERT_EQ(fake.m_boxes.size(), 1u);
  EXPECT_EQ(fake.m_boxes[0].strText, "QmSvc\n\nwas successfully created.");
  EXPECT_EQ(fake.m_boxes[0].strCaption, "Success");
  EXPECT_EQ(fake.m_boxes[0].dwStyle, kMbOk | kMbIconInformation);

  FakeService* pService = fake.FindService("QmSvc");
  ASSERT_NE(pService, nullptr);
  EXPECT_EQ(pService->strDisplayName, "Qm Service");
  EXPECT_EQ(pService->strBinaryPath, "C:\\Tools\\carrack.exe");
  EXPECT_EQ(pService->dwType, kServiceWin32OwnProcess);
  EXPECT_EQ(pService->dwStartType, kServiceAutoStart);
  EXPECT_FALSE(pService->bHadDependencies);
  EXPECT_NE(fake.m_calls[fake.m_calls.size() - 1].find("MessageBox"), std::string::npos);

  // Values in order, each with its NUL counted; the empty field is a one-byte string.
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
  EXPECT_EQ(fake.CountCalls("RegCreateKeyEx"), 1);
  EXPECT_NE(std::find(fake.m_calls.begin(), fake.m_calls.end(), "OpenSCManager(null,null,0xf003f)"),
            fake.m_calls.end());

  EXPECT_TRUE(FormEmptied());
  EXPECT_EQ(form.m_fields[IDC_STARTUP], "Automatic");
  ExpectEverythingReleased();
}

struct FailureCase {
  const char* pszName;
  const char* pszCall;
  int nOccurrence;
  std::uint32_t dwCode;
  bool bCreated;
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

class SvcInstallFailureTest : public SvcInstallTest,
                              public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SvcInstallFailureTest, ShowsOneMessageAndReleasesEverything) {
  const FailureCase& c = GetParam();
  fake.FailCall(c.pszCall, c.dwCode, c.nOccurrence);
  if (std::string(c.pszName) == "RunfileAndDirectory") fake.FailCall("RegSetValueEx", 5, 4);
  fake.SetLastError(1073);
  commands.OnInstall();

  ASSERT_EQ(fake.m_boxes.size(), 1u);
  EXPECT_EQ(fake.m_boxes[0].strText, c.strText);
  EXPECT_EQ(fake.m_boxes[0].strCaption, "Error");
  EXPECT_EQ(fake.m_boxes[0].dwStyle, kStyleError);
  EXPECT_EQ(fake.FindService("QmSvc") != nullptr, c.bCreated);
  EXPECT_EQ(FormEmptied(), c.bCreated);
  ExpectEverythingReleased();
}

INSTANTIATE_TEST_SUITE_P(
    EachCall, SvcInstallFailureTest,
    ::testing::Values(
        FailureCase{"Manager", "OpenSCManager", 0, 5, false,
                    "Could not open Service Control Manager.\n\nQmSvc\n was NOT installed.\n\n"
                    "Access is denied. (0x5)"},
        FailureCase{"Creation", "CreateService", 0, 1072, false,
                    "Could not create service.\n\nQmSvc\n was NOT installed.\n\n"
                    "The specified service has been marked for deletion. (0x430)"},
        FailureCase{"Key", "RegCreateKeyEx", 0, 5, true, Created(kP)},
        // Opening the key for a value: the Services key's open for the list comes first.
        FailureCase{"InstallerOpen", "RegOpenKeyEx", 2, 5, true, Created(kI)},
        FailureCase{"Installer", "RegSetValueEx", 1, 5, true, Created(kI)},
        FailureCase{"Arguments", "RegSetValueEx", 2, 5, true, Created(kA)},
        FailureCase{"Runfile", "RegSetValueEx", 3, 5, true, Created(kR)},
        FailureCase{"Directory", "RegSetValueEx", 4, 5, true, Created(kD)},
        FailureCase{"RunfileAndDirectory", "RegSetValueEx", 3, 5, true, Created(kR + kD)},
        FailureCase{"ModulePath", "GetModuleFileName", 0, 8, false,
                    "Could not find the folder of this program.\n\nQmSvc\n was NOT installed."
                    "\n\nNot enough storage is available to process this command. (0x8)"}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(SvcInstallTest, StopsFillingAtTheFirstOfInstallerAndArguments) {
  fake.FailCall("RegSetValueEx", 5, 1);
  commands.OnInstall();
  EXPECT_EQ(fake.CountCalls("RegSetValueEx"), 1);
  EXPECT_EQ(Value("Arguments"), "<missing>");

  CFakePlatform fake2;
  CTestForm form2 = form;
  form2.m_fields[IDC_SERVICE_NAME] = "QmSvc";
  CServiceCommands commands2{fake2.Platform(), form2};
  fake2.FailCall("RegCreateKeyEx", 5);
  commands2.OnInstall();
  EXPECT_EQ(fake2.CountCalls("RegSetValueEx"), 0);
  EXPECT_EQ(fake2.CountCalls("RegOpenKeyEx"), 1);  // the list's only
}

TEST_F(SvcInstallTest, ResultIsOneOnceTheServiceExists) {
  fake.FailCall("RegCreateKeyEx", 5);
  EXPECT_EQ(commands.InstallService("A", "A", "C:\\carrack.exe", "", "", "x", "", 3), 1);
  EXPECT_EQ(commands.InstallService("A", "A", "C:\\carrack.exe", "", "", "x", "", 3), 0);
  EXPECT_EQ(fake.m_boxes.back().strText,
            "Could not create service.\n\nA\n was NOT installed.\n\n"
            "The specified service already exists. (0x431)");
  ExpectEverythingReleased();
}

TEST_F(SvcInstallTest, ErrorTextIsTakenBeforeTheManagerIsClosed) {
  // The fake's close clears the last error, as the system may: the text must still be the
  // creation's.
  fake.FailCall("CreateService", 1073);
  commands.OnInstall();
  ASSERT_EQ(fake.m_boxes.size(), 1u);
  EXPECT_NE(fake.m_boxes[0].strText.find("(0x431)"), std::string::npos);
}

TEST_F(SvcInstallTest, StartTypeComesFromTheStartupTextIgnoringCase) {
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"Automatic", 2}, {"AUTOMATIC", 2},  {"aUtOmAtIc", 2}, {"Manual (Demand)", 3},
      {"", 3},          {"Automatic ", 3}, {"Auto", 3}};
  int n = 0;
  for (const auto& [pszStartup, dwExpected] : cases) {
    const std::string strName = "Svc" + std::to_string(n++);
    form.m_fields[IDC_SERVICE_NAME] = strName;
    form.m_fields[IDC_STARTUP] = pszStartup;
    form.m_fields[IDC_DISPLAY_NAME] = strName;
    form.m_fields[IDC_EXECUTABLE] = "x.exe";
    commands.OnInstall();
    ASSERT_NE(fake.FindService(strName), nullptr) << pszStartup;
    EXPECT_EQ(fake.FindService(strName)->dwStartType, dwExpected) << pszStartup;
  }
}

TEST_F(SvcInstallTest, RefusesNamesWithASpaceAfterRebuildingTheList) {
  for (const char* pszName : {"Qm Svc", " QmSvc", "QmSvc "}) {
    CFakePlatform fakeOne;
    CTestForm formOne = form;
    formOne.m_fields[IDC_SERVICE_NAME] = pszName;
    CServiceCommands commandsOne{fakeOne.Platform(), formOne};
    commandsOne.OnInstall();
    ASSERT_EQ(fakeOne.m_boxes.size(), 1u) << pszName;
    EXPECT_EQ(fakeOne.m_boxes[0].strText, "Please do not use any spaces\nin the service name.");
    EXPECT_EQ(fakeOne.m_boxes[0].strCaption, "Error");
    EXPECT_EQ(fakeOne.m_boxes[0].dwStyle, kStyleError);
    EXPECT_EQ(fakeOne.CountCalls("RegEnumKeyEx"), 1);  // the list was rebuilt (empty)
    EXPECT_EQ(fakeOne.CountCalls("OpenSCManager"), 0);
    EXPECT_EQ(formOne.m_fields[IDC_SERVICE_NAME], pszName);
  }
  // A tab is no space: it reaches the Service Control Manager.
  form.m_fields[IDC_SERVICE_NAME] = "Qm\tSvc";
  commands.OnInstall();
  EXPECT_EQ(fake.CountCalls("CreateService"), 1);
}

TEST_F(SvcInstallTest, DuplicateLookupIsCaseSensitive) {
  fake.AddService("MyApp", 3);
  form.m_fields[IDC_SERVICE_NAME] = "MyApp";
  commands.OnInstall();
  ASSERT_EQ(fake.m_boxes.size(), 1u);
  EXPECT_EQ(fake.m_boxes[0].strText, "A service named MyApp\n is already registered.");
  EXPECT_EQ(fake.CountCalls("OpenSCManager"), 0);

  form.m_fields[IDC_SERVICE_NAME] = "myapp";
  commands.OnInstall();
  ASSERT_EQ(fake.m_boxes.size(), 2u);
  EXPECT_EQ(fake.m_boxes[1].strText,
            "Could not create service.\n\nmyapp\n was NOT installed.\n\n"
            "The specified service already exists. (0x431)");
  EXPECT_EQ(form.m_fields[IDC_SERVICE_NAME], "myapp");
  ExpectEverythingReleased();
}

TEST_F(SvcInstallTest, LongNameIsCutToEightyCharacters) {
  form.m_fields[IDC_SERVICE_NAME] = std::string(100, 'n');
  commands.OnInstall();
  const std::string strCut(80, 'n');
  EXPECT_NE(fake.FindService(strCut), nullptr);
  EXPECT_NE(fake.FindKey("SYSTEM\\CurrentControlSet\\Services\\" + strCut + "\\Parameters"),
            nullptr);
  EXPECT_EQ(fake.m_boxes[0].strText, strCut + "\n\nwas successfully created.");
}

TEST_F(SvcInstallTest, RunnerPathIsQuotedOnlyWhenItHasABlank) {
  fake.SetModulePath("C:\\Program Files\\Qm\\quillmnt.exe");
  commands.OnInstall();
  ASSERT_NE(fake.FindService("QmSvc"), nullptr);
  EXPECT_EQ(fake.FindService("QmSvc")->strBinaryPath, "\"C:\\Program Files\\Qm\\carrack.exe\"");
}

TEST_F(SvcInstallTest, RefusesAModulePathTheSystemCouldNotReturnWhole) {
  fake.SetModulePath("C:\\" + std::string(300, 'd') + "\\quillmnt.exe");
  commands.OnInstall();
  ASSERT_EQ(fake.m_boxes.size(), 1u);
  EXPECT_EQ(fake.m_boxes[0].strText,
            "Could not find the folder of this program.\n\nQmSvc\n was NOT installed.\n\n"
            "The data area passed to a system call is too small. (0x7a)");
  EXPECT_EQ(fake.m_boxes[0].dwStyle, kStyleError);
  EXPECT_EQ(fake.CountCalls("CreateService"), 0);
  EXPECT_FALSE(FormEmptied());
}

TEST_F(SvcInstallTest, RefusesARunnerPathThatWouldNotFit) {
  // The module path fits (259 characters); its folder and carrack.exe do not.
  fake.SetModulePath("C:\\" + std::string(250, 'd') + "\\q.exe");
  commands.OnInstall();
  ASSERT_EQ(fake.m_boxes.size(), 1u);
  EXPECT_EQ(fake.m_boxes[0].strText,
            "The path of carrack.exe is too long.\n\nQmSvc\n was NOT installed.\n\n");
  EXPECT_EQ(fake.CountCalls("OpenSCManager"), 0);
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

TEST_F(SvcInstallTest, DependenciesReachCreateServiceAndTheBlockIsReleasedAfterTheMessage) {
  form.m_fields[IDC_DEPENDENCIES] = "Alpha;Beta";
  commands.OnInstall();
  ASSERT_NE(fake.FindService("QmSvc"), nullptr);
  EXPECT_EQ(fake.FindService("QmSvc")->strDependencies, "Alpha\0Beta\0\0"s);
  const std::vector<std::string> names = fake.CallNames();
  EXPECT_EQ(names.back(), "GlobalFree");
  EXPECT_EQ(names[names.size() - 2], "MessageBox");
  ExpectEverythingReleased();

  CFakePlatform fake2;
  CTestForm form2 = form;
  form2.m_fields = {{IDC_SERVICE_NAME, "Two"}, {IDC_DEPENDENCIES, "Alpha;Beta"}};
  CServiceCommands commands2{fake2.Platform(), form2};
  fake2.FailCall("GlobalAlloc", 8);
  commands2.OnInstall();
  ASSERT_NE(fake2.FindService("Two"), nullptr);
  EXPECT_EQ(fake2.FindService("Two")->strDependencies, "Alpha;Beta\0\0"s);
  EXPECT_EQ(fake2.CountCalls("GlobalFree"), 0);
  EXPECT_EQ(fake2.m_boxes.size(), 1u);
}

TEST_F(SvcInstallTest, ReadsTheSevenFieldsInOrderWithTheirCapacities) {
  commands.OnInstall();
  const std::vector<int> order{IDC_SERVICE_NAME, IDC_DISPLAY_NAME, IDC_STARTUP,    IDC_DEPENDENCIES,
                               IDC_ARGUMENTS,    IDC_EXECUTABLE,   IDC_WORKING_DIR};
  EXPECT_EQ(form.m_reads, order);
  EXPECT_EQ(form.m_readCapacities, (std::vector<int>{81, 81, 81, 1024, 1024, 260, 260}));
  for (std::size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(form.m_readCapacities[i], FieldCapacity(order[i])) << order[i];
  }
}

TEST_F(SvcInstallTest, RefusesAQuoteInsideTheExecutableAndKeepsTheForm) {
  const std::pair<const char*, bool> cases[] = {
      {"\"C:\\app\\app.exe\" -x", true},
      {"C:\\a\"b.exe", true},
      {"\"C:\\app\\app.exe", true},
      {"\"C:\\Program Files\\app.exe\"", false},  // quoted whole: the runner takes it
  };
  for (const auto& [pszExecutable, bRefused] : cases) {
    CFakePlatform fakeOne;
    CTestForm formOne = form;
    formOne.m_fields[IDC_EXECUTABLE] = pszExecutable;
    const std::map<int, std::string> fields = formOne.m_fields;
    CServiceCommands commandsOne{fakeOne.Platform(), formOne};
    commandsOne.OnInstall();
    ASSERT_EQ(fakeOne.m_boxes.size(), 1u) << pszExecutable;
    EXPECT_EQ(fakeOne.CountCalls("CreateService"), bRefused ? 0 : 1) << pszExecutable;
    if (!bRefused) continue;
    EXPECT_EQ(fakeOne.m_boxes[0].strText,
              "Please do not use quotes in the executable.\nIts arguments belong in the "
              "Arguments field.");
    EXPECT_EQ(fakeOne.m_boxes[0].strCaption, "Error");
    EXPECT_EQ(fakeOne.m_boxes[0].dwStyle, kStyleError);
    EXPECT_EQ(fakeOne.CountCalls("OpenSCManager"), 0);
    EXPECT_EQ(formOne.m_fields, fields);
  }
}

}  // namespace
}  // namespace qm::svc::test
