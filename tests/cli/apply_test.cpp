// export, apply and the --json outputs against the scripted platform: what apply decides for
// each state of the machine, what it refuses before anything is written, and the documents
// read back with the same library.

#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

#include "cli/json.h"
#include "cli/services_file.h"
#include "tests/cli/cli_tool_fixture.h"

namespace qm::cli {
namespace {

using platform::test::CFakePlatform;
using platform::test::FakeService;
using test::CliToolTest;

// The calls that change the machine.
int Writes(const CFakePlatform& fake) {
  int cWrites = 0;
  for (const char* pszCall :
       {"RegSetValueEx", "RegDeleteValue", "RegCreateKeyEx", "CreateService", "ChangeServiceConfig",
        "ChangeDescription", "ChangeDelayedAutoStart", "ChangePreshutdownTimeout", "DeleteService",
        "StartService", "ControlService"}) {
    cWrites += fake.CountCalls(pszCall);
  }
  return cWrites;
}

std::vector<std::string> Lines(const std::string& strText) {
  std::vector<std::string> lines;
  for (std::size_t nAt = 0; nAt < strText.size();) {
    const std::size_t nEnd = std::min(strText.find('\n', nAt), strText.size());
    lines.push_back(strText.substr(nAt, nEnd - nAt));
    nAt = nEnd + 1;
  }
  return lines;
}

// MyApp as the tests' files describe it, with some keys in other letter cases; its
// RestartDelay follows.
const std::string kMyApp =
    R"({"Name": "MyApp", "DisplayName": "My App", "startup": "delayed-auto",
        "Runfile": "C:\\App\\app.exe", "Arguments": "--port 8080 \"a  b\" 50%",
        "environment": ["A=1", "B=two words"], "RestartDelay": )";

class ApplyTest : public CliToolTest {
 protected:
  int Apply(const std::string& strServices, const std::string& strOptions = "") {
    applyInput.m_files["s.json"] = "{\"services\": [" + strServices + "]}";
    fake.m_calls.clear();
    return Run("apply s.json" + strOptions);
  }
};

// Each step runs on the machine the steps before it left.
TEST_F(ApplyTest, ChangesOnlyWhatDiffersAndSaysWhat) {
  applyInput.m_variables["MYAPP_PASSWORD"] = "pass word";
  const std::string strKey = contract::ParametersKeyPath("MyApp");
  const struct {
    std::function<void()> before;  // what else happens to the machine first
    std::string strServices;
    const char* pszOptions;
    int nExit;
    int cWrites;  // -1: some
    std::vector<std::string> lines;
  } kSteps[] = {
      {{},
       kMyApp + "2000}",
       "",
       kExitChanged,
       -1,
       {"MyApp: created", "MyApp: Startup \"auto\" -> \"delayed-auto\"",
        "MyApp: RestartDelay 1000 -> 2000", "MyApp: Environment [] -> [\"A=1\", \"B=two words\"]"}},
      {{}, kMyApp + "2000}", "", kExitOk, 0, {}},
      {{},
       kMyApp + "3000}",
       " --check",
       kExitChanged,
       0,
       {"MyApp: RestartDelay 2000 -> 3000", "(--check: nothing was changed)"}},
      {{}, kMyApp + "3000}", "", kExitChanged, 1, {"MyApp: RestartDelay 2000 -> 3000"}},
      // A value of the wrong type, mended.
      {[&] { fake.SetValue(strKey, "StopTimeout", platform::kRegSz, std::string("x\0", 2)); },
       kMyApp + "3000}",
       "",
       kExitChanged,
       1,
       {"MyApp: StopTimeout (unreadable) -> 15000"}},
      // The manager's pre-shutdown timeout follows StopTimeout, and is mended when it does not.
      {{},
       kMyApp + "3000, \"StopTimeout\": 300000}",
       "",
       kExitChanged,
       2,
       {"MyApp: StopTimeout 15000 -> 300000", "MyApp: pre-shutdown timeout 180000 -> 305000 ms"}},
      {{}, kMyApp + "3000, \"StopTimeout\": 300000}", "", kExitOk, 0, {}},
      {[&] { fake.FindService("MyApp")->dwPreshutdownTimeoutMs = 10000; },
       kMyApp + "3000, \"StopTimeout\": 300000}",
       "",
       kExitChanged,
       1,
       {"MyApp: pre-shutdown timeout 10000 -> 305000 ms"}},
      {{},
       kMyApp + "3000}",
       "",
       kExitChanged,
       2,
       {"MyApp: StopTimeout 300000 -> 15000", "MyApp: pre-shutdown timeout 305000 -> 180000 ms"}},
      // A running service whose settings changed is restarted.
      {[&] { Run("start MyApp"); },
       kMyApp + "3000, \"Description\": \"x\"}",
       " --restart",
       kExitChanged,
       -1,
       {"MyApp: Description \"\" -> \"x\"", "MyApp: restarted"}},
      {{}, kMyApp + "3000, \"Description\": \"x\"}", " --restart", kExitOk, 0, {}},
      // Recovery set in the Services console stays while the file names none; named, it holds.
      {[&] {
         platform::FailureActions& actions = fake.FindService("MyApp")->failureActions;
         actions.resetSeconds = 86400;
         actions.count = 1;
         actions.actions[0] = {platform::kScActionRestart, 60000};
       },
       kMyApp + "3000, \"Description\": \"x\"}",
       "",
       kExitOk,
       0,
       {}},
      {{},
       kMyApp + "3000, \"Description\": \"x\", \"Recovery\": \"none\"}",
       "",
       kExitChanged,
       -1,
       {"MyApp: Recovery \"restart/60000\" -> \"none\""}},
      // Left out: back to the default, the value deleted.
      {{},
       R"({"Name": "MyApp", "DisplayName": "My App", "Startup": "delayed-auto",
           "Runfile": "C:\\App\\app.exe", "Arguments": "--port 8080 \"a  b\" 50%"})",
       "",
       kExitChanged,
       3,
       {"MyApp: Description \"x\" -> \"\"", "MyApp: RestartDelay 3000 -> 1000",
        "MyApp: Environment [\"A=1\", \"B=two words\"] -> []"}},
      // A user's account, its password from the environment, gets "Log on as a service".
      {[&] { fake.m_accounts["svc"]; },
       R"({"Name": "MyApp", "Runfile": "C:\\App\\app.exe", "Account": ".\\svc",
           "AccountPasswordFrom": "env:MYAPP_PASSWORD"})",
       "",
       kExitChanged,
       -1,
       {"MyApp: DisplayName \"My App\" -> \"MyApp\"", "MyApp: Startup \"delayed-auto\" -> \"auto\"",
        "MyApp: Account \"LocalSystem\" -> \".\\svc\"", "Log on as a service granted to .\\svc.",
        "MyApp: Arguments \"--port 8080 \"a  b\" 50%\" -> \"\""}},
      {{},
       R"({"Name": "MyApp", "Ensure": "absent"}, {"Name": "Other", "Ensure": "ABSENT"})",
       "",
       kExitChanged,
       -1,
       {"MyApp: removed"}},
      {{}, R"({"Name": "MyApp", "Ensure": "absent"})", "", kExitOk, 0, {}},
  };
  for (const auto& step : kSteps) {
    if (step.before) step.before();
    const std::string strCase = step.strServices.substr(0, 120) + step.pszOptions;
    EXPECT_EQ(Apply(step.strServices, step.pszOptions), step.nExit) << strCase << "\n"
                                                                    << console.m_strErr;
    if (step.cWrites >= 0) {
      EXPECT_EQ(Writes(fake), step.cWrites) << strCase;
    }
    EXPECT_EQ(Lines(console.m_strOut), step.lines) << strCase;
    EXPECT_EQ(console.m_strErr, "") << strCase;
    EXPECT_EQ(fake.OpenHandleCount(), 0u) << strCase;
    // What the first step made.
    if (&step == &kSteps[0]) {
      const FakeService* pService = fake.FindService("MyApp");
      ASSERT_NE(pService, nullptr);
      EXPECT_EQ(pService->strDisplayName, "My App");
      EXPECT_TRUE(pService->bDelayedAutoStart);
      EXPECT_EQ(Value("MyApp", "Arguments"), std::string("--port 8080 \"a  b\" 50%\0", 23));
      EXPECT_EQ(Value("MyApp", "Environment"), std::string("A=1\0B=two words\0\0", 17));
      EXPECT_EQ(Value("MyApp", "RestartDelay"), std::string("\xD0\x07\0\0", 4));
    }
    if (step.strServices.find("svc") != std::string::npos) {
      EXPECT_EQ(fake.FindService("MyApp")->strStartName, ".\\svc");
      EXPECT_EQ(fake.FindService("MyApp")->strPassword, "pass word");
    }
  }
  EXPECT_EQ(fake.FindService("MyApp"), nullptr);
}

// A bad file, or one that asks for what apply does not do, changes nothing and says in one
// line where it is and what is wrong.
TEST_F(ApplyTest, BadInputChangesNothing) {
  InstallOwn("Own");
  fake.AddService("Foreign", platform::kServiceAutoStart);
  const std::string strBefore = Snapshot("Own") + Snapshot("Foreign");
  const std::string strOwn = R"({"Name": "Own", "Runfile": "C:\\a.exe")";
  const struct {
    std::string strFile;  // the whole file
    const char* pszOptions;
    const char* pszError;  // a part of the one line
  } kCases[] = {
      {R"({"services": [)" + strOwn, "",
       "s.json: parse error at line 1, column 53: syntax error while parsing object - unexpected "
       "end of input"},
      {R"({"services": [)" + strOwn + R"(, "StopTimeout": "2000"}]})", "",
       "service 1 (Own): StopTimeout takes a whole number from 0 to 4294967295, not \"2000\""},
      {R"({"services": [)" + strOwn + R"(, "StopTimeout": 2.5}]})", "", "not 2.5"},
      {R"({"services": [)" + strOwn + R"(, "RecoveryReset": 60}]})", "",
       "service 1 (Own): RecoveryReset counts the failures of a Recovery list, and the entry has "
       "none"},
      {R"({"services": [)" + strOwn + R"(, "Recovery": "restart"}]})", "",
       "service 1 (Own): Recovery takes none, or actions such as"},
      {R"({"services": [)" + strOwn + R"(, "StopTimeout": -1}]})", "", "not -1"},
      {R"({"services": [)" + strOwn + R"(, "StopTimeout": 600001}]})", "",
       "service 1 (Own): the runner would refuse this: the StopTimeout value 600001 is above"},
      {R"({"services": [)" + strOwn + R"(, "RestartDelay": 5000, "RestartDelayMax": 4000}]})", "",
       "RestartDelayMax value 4000 is smaller than the RestartDelay value 5000"},
      {R"({"services": [)" + strOwn + R"(, "Restart": "sometimes"}]})", "",
       "Restart takes one of OnFailure, Always, Never"},
      {R"({"services": [)" + strOwn + R"(, "Colour": "red"}]})", "",
       "service 1 (Own): unknown key \"Colour\""},
      {R"({"services": [)" + strOwn + R"(, "StopTimeout": 1, "stoptimeout": 2}]})", "",
       "service 1 (Own): the key \"stoptimeout\" appears twice"},
      {R"({"services": [)" + strOwn + R"(}, {"Name": "own", "Runfile": "C:\\b.exe"}]})", "",
       "service 2 (own): the service is named already by service 1"},
      {R"({"services": [{"Name": "Caf\u00e9", "Runfile": "C:\\a.exe"}]})", "",
       "service 1: the name \"Caf\\u00e9\" holds a character other than a printable ASCII"},
      {R"({"services": [)" + strOwn + R"(, "Description": "\u0416"}]})", "",
       "Description holds a character that this system's ANSI code page cannot hold"},
      {R"({"services": [)" + strOwn + R"(, "DisplayName": "a\nb"}]})", "",
       "DisplayName cannot hold a line break"},
      {R"({"services": [)" + strOwn + R"(, "Stdout": "a\u0000b"}]})", "", "Stdout holds a NUL"},
      {R"({"services": [{"Name": "Own"}]})", "", "service 1 (Own) has no Runfile"},
      {R"({"services": [)" + strOwn + R"(, "Account": ".\\bob"}]})", "",
       "needs its password: name the environment variable"},
      {R"({"services": [)" + strOwn +
           R"(, "Account": ".\\bob", "AccountPasswordFrom": "env:NOT_SET"}]})",
       "", "the environment variable NOT_SET that is to hold the account's password is not set"},
      {R"({"Services": {}})", "", "the file holds one object, {\"services\": [...]}"},
      {R"({"services": [{"Name": "Foreign", "Runfile": "C:\\a.exe"}]})", "",
       "Foreign was not installed by Quillmont; apply changes only services it installed"},
      {R"({"services": [{"Name": "Foreign", "Ensure": "absent"}]})", "", "without --force"},
      // The whole file first: a good entry before a bad one is not applied.
      {R"({"services": [)" + strOwn + R"(, "StopTimeout": 5}, {"Name": "New"}]})", "",
       "service 2 (New) has no Runfile"},
      {std::string(kMaxServicesFileBytes + 1, ' '), "", "s.json: the file is larger than 4 MiB"},
  };
  for (const auto& c : kCases) {
    applyInput.m_files["s.json"] = c.strFile;
    fake.m_calls.clear();
    EXPECT_EQ(Run(std::string("apply s.json") + c.pszOptions), kExitFailure) << c.strFile;
    EXPECT_NE(console.m_strErr.find(c.pszError), std::string::npos)
        << c.strFile.substr(0, 200) << "\n"
        << console.m_strErr;
    EXPECT_EQ(std::count(console.m_strErr.begin(), console.m_strErr.end(), '\n'), 1)
        << console.m_strErr;
    EXPECT_EQ(Writes(fake), 0) << c.strFile.substr(0, 200);
  }
  EXPECT_EQ(Snapshot("Own") + Snapshot("Foreign"), strBefore);
  EXPECT_EQ(fake.FindService("New"), nullptr);
  EXPECT_EQ(Run("apply missing.json"), kExitFailure);
  EXPECT_EQ(Run("apply"), kExitUsage);
  // --force removes a service Quillmont did not install.
  applyInput.m_files["s.json"] = R"({"services": [{"Name": "Foreign", "Ensure": "absent"}]})";
  EXPECT_EQ(Run("apply s.json --force"), kExitChanged) << console.m_strErr;
  EXPECT_EQ(fake.FindService("Foreign"), nullptr);
}

// export writes what apply takes: on another machine the copy is the same service, byte for
// byte, and its export the same text.
TEST_F(ApplyTest, ExportThenApplyElsewhereMakesTheSameService) {
  ASSERT_EQ(Run("install --display-name \"Caf\xE9 & 50%\" --startup manual --depend A;B --dir "
                "C:\\w MyApp C:\\App\\app.exe -x \"a  b\" %PATH% ^"),
            kExitOk);
  for (const char* pszArgs :
       {"set MyApp RestartDelayMax 300000", "set MyApp RestartDelay 90000",
        "set MyApp Environment A=1 \"B=x  y\"", "set MyApp Priority high",
        "set MyApp Description \"line one\nline two\"", "set MyApp Account .\\svc secret",
        "set MyApp StopTimeout 15000", "set MyApp Recovery restart/60000,none",
        "set MyApp RecoveryReset 3600"}) {
    ASSERT_EQ(Run(pszArgs), kExitOk) << pszArgs << console.m_strErr;
  }
  ASSERT_EQ(Run("export MyApp"), kExitOk) << console.m_strErr;
  const std::string strExport = console.m_strOut;
  EXPECT_EQ(strExport.find('\xE9'), std::string::npos);  // ASCII: \u00e9
  Json exported = Json::parse(strExport);
  EXPECT_EQ(exported["services"][0]["AccountPasswordFrom"], "env:MYAPP_PASSWORD");
  EXPECT_EQ(exported["services"][0]["StopTimeout"], 15000);  // stored, if at its default
  EXPECT_EQ(exported["services"][0]["Recovery"], "restart/60000,none");
  EXPECT_EQ(exported["services"][0]["RecoveryReset"], 3600);

  CFakePlatform elsewhere;
  test::CCapture elsewhereConsole;
  CCommandLineTool elsewhereTool{elsewhere,     elsewhere,        elsewhere, elsewhere,
                                 runnerView,    codePage,         utf8,      applyInput,
                                 passwordInput, elsewhereConsole, "9.9"};
  // As PowerShell's ">" writes it: UTF-16, little-endian, with its byte order mark.
  std::string strUtf16 = "\xFF\xFE";
  for (char ch : strExport) strUtf16 += std::string{ch, '\0'};
  applyInput.m_files["MyApp.json"] = strUtf16;
  applyInput.m_variables["MYAPP_PASSWORD"] = "secret";
  EXPECT_EQ(Run(elsewhereTool, elsewhereConsole, "apply MyApp.json"), kExitChanged)
      << elsewhereConsole.m_strErr;
  EXPECT_EQ(Snapshot(elsewhere, "MyApp"), Snapshot("MyApp"));
  EXPECT_EQ(elsewhere.FindService("MyApp")->strPassword, "secret");
  EXPECT_EQ(Run(elsewhereTool, elsewhereConsole, "export MyApp"), kExitOk);
  EXPECT_EQ(elsewhereConsole.m_strOut, strExport);

  // --all: every service of ours, by name.
  InstallOwn("Alpha");
  fake.AddService("Foreign", platform::kServiceAutoStart);
  ASSERT_EQ(Run("export --all"), kExitOk);
  const Json all = Json::parse(console.m_strOut);
  ASSERT_EQ(all["services"].size(), 2u);
  EXPECT_EQ(all["services"][0]["Name"], "Alpha");
  EXPECT_EQ(all["services"][1], exported["services"][0]);
  EXPECT_EQ(Run("export"), kExitUsage);
  EXPECT_EQ(Run("export Foreign"), kExitFailure);
}

// The --json documents, read back with the same library and compared as values.
TEST_F(ApplyTest, JsonOutputsAreDocumentsOfValues) {
  InstallOwn("Alpha");
  ASSERT_EQ(Run("set Alpha Environment A=1"), kExitOk);
  InstallOwn("Beta");
  ASSERT_EQ(Run("start Beta"), kExitOk);
  fake.FindService("Beta")->dwProcessId = 4242;
  runnerView.m_read = RunnerViewRead::kRead;
  // Restarting after exit code 3, the next start at 2026-12-09T02:10:22Z.
  runnerView.m_state = {
      contract::state::Phase::kRestarting, 0, 0, true, 3, 2, 134412558220000000ull};
  FakeService& alpha = *fake.FindService("Alpha");
  alpha.dwWin32ExitCode = 1066;
  alpha.dwServiceExitCode = 7;

  const Json alphaStatus = {
      {"Name", "Alpha"},          {"State", "stopped"},    {"ProgramState", nullptr},
      {"ProcessId", nullptr},     {"Since", nullptr},      {"LastExitCode", 7},
      {"RestartsInRow", nullptr}, {"NextStart", nullptr},  {"Ready", nullptr},
      {"Health", nullptr},        {"Win32ExitCode", 1066}, {"RunnerView", nullptr}};
  const Json betaStatus = {{"Name", "Beta"},
                           {"State", "running"},
                           {"ProgramState", "restarting"},
                           {"ProcessId", nullptr},
                           {"Since", nullptr},
                           {"LastExitCode", 3},
                           {"RestartsInRow", 2},
                           {"NextStart", "2026-12-09T02:10:22Z"},
                           {"Ready", nullptr},
                           {"Health", nullptr},
                           {"Win32ExitCode", nullptr},
                           {"RunnerView", "read"}};
  EXPECT_EQ(Run("status Alpha --json"), kExitStopped);
  EXPECT_EQ(Json::parse(console.m_strOut), alphaStatus);
  EXPECT_EQ(Run("status Beta --json"), kExitRestarting);
  EXPECT_EQ(Json::parse(console.m_strOut), betaStatus);

  // The checks, as status's line tells them and with the same exit codes.
  namespace st = contract::state;
  contract::RunnerState& state = runnerView.m_state;
  state = {st::Phase::kRunning, 4242, 134412558220000000ull};
  state.dwCheckFlags = st::kHealthChecked | st::kHealthProbed;
  state.dwHealthFailures = 2;
  state.dwHealthRetries = 3;
  state.strCheck = "http://127.0.0.1:8080/health";
  state.strSeen = "HTTP 503";
  EXPECT_EQ(Run("status Beta --json"), kExitUnhealthy);
  EXPECT_EQ(Json::parse(console.m_strOut)["Health"],
            Json::parse(R"({"Check": "http://127.0.0.1:8080/health", "State": "failing",
                            "Failures": 2, "Retries": 3, "LastSeen": "HTTP 503"})"));
  state.dwHealthFailures = 0;
  EXPECT_EQ(Run("status Beta --json"), kExitOk);
  EXPECT_EQ(Json::parse(console.m_strOut)["Health"]["State"], "healthy");
  EXPECT_EQ(Json::parse(console.m_strOut)["Health"]["LastSeen"], nullptr);
  // A start waiting for its program to be ready: the service is still starting.
  fake.FindService("Beta")->dwState = platform::kServiceStartPending;
  fake.FindService("Beta")->dwStateAfterStart = platform::kServiceStartPending;
  state = {st::Phase::kStarting, 4242, 134412558220000000ull};
  state.dwCheckFlags = st::kWaitingForReady;
  state.qwWaitStarted = 134412558220000000ull;
  state.dwReadyTimeoutMs = 60000;
  state.strCheck = "tcp:127.0.0.1:8080";
  state.strSeen = "connection refused";
  EXPECT_EQ(Run("status Beta --json"), kExitPending);
  const Json starting = Json::parse(console.m_strOut);
  EXPECT_EQ(starting["ProcessId"], 4242);
  EXPECT_EQ(starting["Health"], nullptr);
  EXPECT_EQ(starting["Ready"],
            Json::parse(R"({"Check": "tcp:127.0.0.1:8080", "WaitingSince": "2026-12-09T02:10:22Z",
                            "TimeoutSeconds": 60, "LastSeen": "connection refused"})"));
  fake.FindService("Beta")->dwState = platform::kServiceRunning;
  state = {st::Phase::kRestarting, 0, 0, true, 3, 2, 134412558220000000ull};

  Json listed = Json::array({alphaStatus, betaStatus});
  for (Json& entry : listed) entry["Runfile"] = "C:\\App\\app.exe";
  ASSERT_EQ(Run("list --json"), kExitOk);
  EXPECT_EQ(Json::parse(console.m_strOut), listed);

  ASSERT_EQ(Run("get Alpha --json"), kExitOk);
  const Json got = Json::parse(console.m_strOut);
  EXPECT_EQ(got["Environment"], Json::array({"A=1"}));
  EXPECT_EQ(got["StopTimeout"], 15000);
  EXPECT_EQ(got["Startup"], "auto");
  EXPECT_EQ(got.size(), AllSettings().size() + 1);
  ASSERT_EQ(Run("get Alpha restartdelay --json"), kExitOk);
  EXPECT_EQ(Json::parse(console.m_strOut), Json({{"Name", "Alpha"}, {"RestartDelay", 1000}}));

  applyInput.m_files["s.json"] =
      R"({"services": [{"Name": "Alpha", "Runfile": "C:\\App\\app.exe", "Arguments": "-v",
                        "StopTimeout": 2000}, {"Name": "Gamma", "Runfile": "C:\\g.exe"}]})";
  ASSERT_EQ(Run("apply s.json --json"), kExitChanged) << console.m_strErr;
  EXPECT_EQ(Json::parse(console.m_strOut),
            Json::parse(R"({"Changed": true, "Check": false, "Changes": [
              {"Name": "Alpha", "Action": "set", "Setting": "StopTimeout", "From": 15000, "To": 2000},
              {"Name": "Alpha", "Action": "set", "Setting": "Environment", "From": ["A=1"], "To": []},
              {"Name": "Gamma", "Action": "create"}]})"));
  ASSERT_EQ(Run("apply s.json --json --check"), kExitOk);
  EXPECT_EQ(Json::parse(console.m_strOut),
            Json::parse(R"({"Changed": false, "Check": true, "Changes": []})"));
}

}  // namespace
}  // namespace qm::cli
