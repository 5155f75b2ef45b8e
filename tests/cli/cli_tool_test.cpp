// The commands against the scripted platform: what each writes, prints and returns, and that
// a refused command changes nothing.

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "cli/command_table.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json.h"
#include "cli/service_wait.h"
#include "cli/service_words.h"
#include "tests/cli/cli_tool_fixture.h"

namespace qm::cli {
namespace {

using test::CCapture;
using test::CliToolTest;

using platform::test::CFakePlatform;
using platform::test::FakeService;

// What cmd does to a line of a batch file before it starts the program (delayed expansion
// off), the line read in the fake batch code page and handed on in ANSI: an e written in ANSI
// comes back as the T that code page 437 holds there.
std::string AsCmdPassesIt(std::string_view line) {
  std::string strOut;
  bool bQuoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char ch = line[i] == '\x82' ? '\xE9' : line[i] == '\xE9' ? 'T' : line[i];
    if (ch == '"') bQuoted = !bQuoted;
    if (ch == '%' && i + 1 < line.size() && line[i + 1] == '%') {
      strOut.push_back('%');
      ++i;
    } else if (ch == '^' && !bQuoted && i + 1 < line.size()) {
      strOut.push_back(line[++i]);
    } else {
      strOut.push_back(ch);
    }
  }
  return strOut;
}

TEST_F(CliToolTest, InstallWritesWhatTheWindowWrites) {
  ASSERT_EQ(Run("install --display-name \"My App\" --startup manual --depend A;B --dir C:\\w "
                "MyApp \"C:\\Program Files\\app.exe\" -x \"a  b\" 50%"),
            kExitOk)
      << console.m_strErr;
  EXPECT_EQ(console.m_strOut, "MyApp was successfully created.\n");
  const FakeService* pService = fake.FindService("MyApp");
  ASSERT_NE(pService, nullptr);
  EXPECT_EQ(pService->strDisplayName, "My App");
  EXPECT_EQ(pService->dwStartType, platform::kServiceDemandStart);
  EXPECT_EQ(pService->strBinaryPath, "C:\\Tools\\carrack.exe");
  EXPECT_EQ(pService->strDependencies, std::string("A\0B\0\0", 5));
  EXPECT_EQ(Value("MyApp", "Installer"), std::string("quillmnt\0", 9));
  EXPECT_EQ(Value("MyApp", "Arguments"), std::string("-x \"a  b\" 50%\0", 14));
  EXPECT_EQ(Value("MyApp", "Runfile"), std::string("C:\\Program Files\\app.exe\0", 25));
  EXPECT_EQ(Value("MyApp", "Directory"), std::string("C:\\w\0", 5));

  ASSERT_EQ(Run("install Bare app.exe"), kExitOk);
  EXPECT_EQ(fake.FindService("Bare")->strDisplayName, "Bare");
  EXPECT_EQ(fake.FindService("Bare")->dwStartType, platform::kServiceAutoStart);
}

TEST_F(CliToolTest, InstallRefusalsChangeNothing) {
  InstallOwn("Taken");
  const std::size_t cServices = fake.FindKey("SYSTEM\\CurrentControlSet\\Services")->subkeys.size();
  // "C:\app.exe", a blank and the arguments: one character more than a command line holds.
  const std::string strLongCommand = "install Svc C:\\app.exe " + std::string(32767 - 11, 'a');
  const struct {
    std::string strArgs;
    const char* pszError;
  } kCases[] = {
      {"install \"Two Words\" app.exe", "Please do not use any spaces in the service name."},
      {"install Taken app.exe", "A service named Taken is already registered."},
      {"install Svc C:\\a\\\"b.exe", "Please do not use quotes in the executable."},
      // The limits of the Service Control Manager, of set and of the runner.
      {"install " + std::string(215, 'n') + " app.exe", "service name takes 1 to 214"},
      {"install \"\" app.exe", "service name takes 1 to 214"},
      {"install --display-name " + std::string(257, 'd') + " Svc app.exe", "1 to 256"},
      {"install --display-name \"\" Svc app.exe", "1 to 256"},
      {"install --depend " + std::string(1024, 'd') + " Svc app.exe", "at most 1023"},
      {"install Svc \"\"", "the Runfile value is empty"},
      {"install Svc \"  \"", "the Runfile value is empty"},
      {strLongCommand, "longer than a command line may be"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Run(c.strArgs), kExitFailure) << c.strArgs.substr(0, 80);
    EXPECT_NE(console.m_strErr.find(c.pszError), std::string::npos) << console.m_strErr;
    EXPECT_EQ(std::count(console.m_strErr.begin(), console.m_strErr.end(), '\n'), 1);
    EXPECT_EQ(console.m_strOut, "");
  }
  fake.FailCall("CreateService", 5);
  EXPECT_EQ(Run("install Svc app.exe"), kExitFailure);
  EXPECT_NE(
      console.m_strErr.find("Could not create service. Svc was NOT installed. Access is denied."),
      std::string::npos)
      << console.m_strErr;
  EXPECT_EQ(fake.FindKey("SYSTEM\\CurrentControlSet\\Services")->subkeys.size(), cServices);
}

TEST_F(CliToolTest, RemoveAsksForForceWhereTheWindowAsksTwice) {
  InstallOwn("Own");
  InstallOwn("OwnDisabled");
  fake.FindService("OwnDisabled")->dwStartType = platform::kServiceDisabled;
  fake.AddService("Foreign", platform::kServiceAutoStart, platform::kServiceRunning);

  EXPECT_EQ(Run("remove Own"), kExitOk);
  EXPECT_EQ(console.m_strOut, "Own was successfully removed.\n");
  EXPECT_EQ(fake.FindService("Own"), nullptr);
  for (const char* pszName : {"OwnDisabled", "Foreign"}) {
    EXPECT_EQ(Run(std::string("remove ") + pszName), kExitFailure);
    EXPECT_NE(console.m_strErr.find("--force"), std::string::npos);
    EXPECT_NE(fake.FindService(pszName), nullptr);
    EXPECT_EQ(Run(std::string("remove ") + pszName + " --force"), kExitOk) << console.m_strErr;
    EXPECT_EQ(fake.FindService(pszName), nullptr) << pszName;
  }
  EXPECT_EQ(Run("remove Missing"), kExitFailure);
  EXPECT_EQ(console.m_strErr, "No service named Missing is registered.\n");
  // Where the window says nothing more, the line tells why.
  InstallOwn("Unopened");
  fake.FailCall("OpenService", 5);
  EXPECT_EQ(Run("remove Unopened"), kExitFailure);
  EXPECT_EQ(console.m_strErr, "Unopened was NOT removed. Access is denied. (0x5)\n");
}

// --- install beyond the window's form: what set and the runner accept, a missing program, and
// names the ANSI code page cannot hold ---

void ReplayDump(const std::string& strScript, CCommandLineTool& elsewhereTool,
                CCapture& elsewhereConsole);

TEST_F(CliToolTest, InstallTakesWhatSetAndTheRunnerTakeSoADumpReplays) {
  const std::string strName(214, 'n');  // its Parameters key's path: 259 characters
  const std::string strDisplay(256, 'D');
  const std::string strProgram = "C:\\" + std::string(300, 'p') + "\\app.exe";
  const std::string strArguments(5000, 'a');
  ASSERT_EQ(Run("install --display-name " + strDisplay + " --depend " + std::string(1023, 'd') +
                " " + strName + " " + strProgram + " " + strArguments),
            kExitOk)
      << console.m_strErr;
  EXPECT_EQ(fake.FindService(strName)->strDisplayName, strDisplay);
  EXPECT_EQ(Value(strName, "Runfile"), strProgram + '\0');
  EXPECT_EQ(Value(strName, "Arguments"), strArguments + '\0');

  // What set accepts, install accepts: the dump of such a service replays.
  InstallOwn("Svc");
  ASSERT_EQ(Run("set Svc DisplayName " + strDisplay), kExitOk) << console.m_strErr;
  ASSERT_EQ(Run("set Svc Arguments " + strArguments), kExitOk) << console.m_strErr;
  ASSERT_EQ(Run("dump Svc"), kExitOk) << console.m_strErr;
  CFakePlatform elsewhere;
  CCapture elsewhereConsole;
  CCommandLineTool elsewhereTool{elsewhere,     elsewhere,        elsewhere, elsewhere,
                                 runnerView,    codePage,         utf8,      applyInput,
                                 passwordInput, elsewhereConsole, "9.9"};
  ReplayDump(console.m_strOut, elsewhereTool, elsewhereConsole);
  EXPECT_EQ(Snapshot(elsewhere, "Svc"), Snapshot("Svc"));
}

TEST_F(CliToolTest, InstallWarnsOfAProgramThatDoesNotExistNow) {
  fake.m_absentFiles = {"C:\\Gone\\app.exe", "C:\\Gone\\tool", "C:\\Gone\\tool.exe",
                        "C:\\Gone\\svc", "\\\\server\\share\\app.exe"};
  const struct {
    const char* pszProgram;
    const char* pszLookedAt;  // null: nothing to look at from here
    bool bWarned;
  } kCases[] = {
      {"C:\\Gone\\app.exe", "C:\\Gone\\app.exe", true},
      {"\"C:\\Gone\\app.exe\"", "C:\\Gone\\app.exe", true},
      {"\\\\server\\share\\app.exe", "\\\\server\\share\\app.exe", true},
      {"C:\\Gone\\tool", "C:\\Gone\\tool", true},  // nor tool.exe
      {"C:\\Gone\\svc", "C:\\Gone\\svc", false},   // svc.exe is there
      {"C:\\App\\app.exe", "C:\\App\\app.exe", false},
      // Searched for on the service's path, or taken from the runner's folder.
      {"app.exe", nullptr, false},
      {"bin\\app.exe", nullptr, false},
  };
  int n = 0;
  for (const auto& c : kCases) {
    fake.m_calls.clear();
    const std::string strName = "Svc" + std::to_string(n++);
    EXPECT_EQ(Run("install " + strName + " " + c.pszProgram), kExitOk) << c.pszProgram;
    EXPECT_EQ(console.m_strOut, strName + " was successfully created.\n");
    EXPECT_EQ(console.m_strErr, c.bWarned ? std::string("Warning: ") + c.pszLookedAt +
                                                " does not exist now; the service cannot start "
                                                "until it does.\n"
                                          : "")
        << c.pszProgram;
    EXPECT_EQ(fake.CountCalls("FileExists") > 0, c.pszLookedAt != nullptr) << c.pszProgram;
  }
}

TEST_F(CliToolTest, ArgumentsTheCodePageCannotHoldAreRefusedBeforeAnythingIsDone) {
  InstallOwn("Svc");
  const struct {
    std::string strLine;
    std::size_t nAt;  // where the conversion left its replacement
    int nExit;
    const char* pszNamed;  // the argument the refusal names
  } kCases[] = {
      {"quillmnt install ??? C:\\a.exe", 17, kExitUsage, "\"???\""},
      {"quillmnt install Cafe? C:\\a.exe", 21, kExitUsage, "\"Cafe?\""},
      {"quillmnt set Svc Description \"a ? b\"", 32, kExitUsage, "\"a ? b\""},
      // A password is never shown, not even what is left of it.
      {"quillmnt set Svc account .\\alice ?a?ol?", 35, kExitUsage, "the password"},
      // The program's own path is not an argument.
      {"C:\\?\\quillmnt.com --version", 3, kExitOk, nullptr},
  };
  for (const auto& c : kCases) {
    fake.m_calls.clear();
    console.m_strErr.clear();
    EXPECT_EQ(tool.Run(c.strLine, {c.nAt}), c.nExit) << c.strLine;
    if (c.pszNamed == nullptr) continue;
    EXPECT_EQ(
        console.m_strErr.rfind(std::string("quillmnt: ") + c.pszNamed + " holds characters", 0), 0u)
        << console.m_strErr;
    EXPECT_EQ(std::count(console.m_strErr.begin(), console.m_strErr.end(), '\n'), 1);
    EXPECT_TRUE(fake.m_calls.empty()) << c.strLine;
  }
}

// Every command of the table: help lists it and tells its usage and what it does; without
// administrator rights it is refused, touching nothing, exactly when it changes something (the
// commands the guide names).
TEST_F(CliToolTest, EveryCommandHasItsHelpAndNeedsTheRightsOnlyToChange) {
  InstallOwn("Svc");
  const std::set<std::string> kChanging = {"install", "remove", "set",     "reset",
                                           "start",   "stop",   "restart", "rotate"};
  const std::map<std::string, std::string> kSampleArguments = {{"<name>", "Svc"},
                                                               {"<program>", "app.exe"},
                                                               {"<setting>", "StopTimeout"},
                                                               {"<data...>", "1"}};
  ASSERT_EQ(Run("help"), kExitOk);
  const std::string strHelp = console.m_strOut;
  fake.m_bElevated = false;
  for (const CommandEntry& command : Commands()) {
    const std::string strName = command.pszName;
    EXPECT_NE(strHelp.find("\n  quillmnt " + strName), std::string::npos) << strName;
    ASSERT_EQ(Run("help " + strName), kExitOk) << strName;
    EXPECT_EQ(console.m_strOut.rfind("Usage: quillmnt " + strName, 0), 0u) << console.m_strOut;
    EXPECT_NE(console.m_strOut.find("\n  "), std::string::npos) << console.m_strOut;

    std::string strLine = strName;
    for (const ArgumentEntry& argument : command.arguments) {
      auto it = kSampleArguments.find(argument.pszUsage);
      if (it != kSampleArguments.end()) strLine += " " + it->second;
    }
    fake.m_calls.clear();
    const int nExit = Run(strLine);
    const bool bRefused = console.m_strErr.find("administrator") != std::string::npos;
    EXPECT_EQ(bRefused, kChanging.count(strName) == 1) << strLine;
    if (bRefused) {
      EXPECT_EQ(nExit, kExitFailure) << strLine;
      EXPECT_EQ(std::count(console.m_strErr.begin(), console.m_strErr.end(), '\n'), 1);
      EXPECT_TRUE(fake.m_calls.empty()) << strLine;
    } else {
      EXPECT_NE(nExit, kExitFailure) << strLine << ": " << console.m_strErr;
    }
  }
}

TEST_F(CliToolTest, EverySettingKindRoundTrips) {
  InstallOwn("Svc");
  const struct {
    const char* pszSetting;
    const char* pszData;
    const char* pszGot;    // get after set
    const char* pszReset;  // get after reset
  } kCases[] = {
      {"StopTimeout", "5000", "5000", "15000"},
      {"Restart", "always", "Always", "OnFailure"},
      {"Priority", "high", "High", "Normal"},
      {"Stdout", "\"C:\\log dir\\out.log\"", "C:\\log dir\\out.log", ""},
      {"Environment", "A=1 \"B=two words\"", "A=1\nB=two words", ""},
      {"Arguments", "-x \"a  b\"", "-x \"a  b\"", ""},
      // A check is taken as typed: an exec: command line keeps its quotes and blanks.
      {"HealthCheck", "exec:\"C:\\Tools\\check it.exe\"  -q",
       "exec:\"C:\\Tools\\check it.exe\"  -q", ""},
      {"ReadyCheck", "output:Started on port 8080", "output:Started on port 8080", ""},
      {"ReadyCheck", "\"output:Started & ready\"", "output:Started & ready", ""},
      {"ReadyTimeout", "120000", "120000", "60000"},
      {"Directory", "C:\\work", "C:\\work", ""},
      {"DisplayName", "\"My Service\"", "My Service", "Svc"},
      {"Description", "Does things", "Does things", ""},
      {"Startup", "delayed-auto", "delayed-auto", "auto"},
      {"startup", "disabled", "disabled", "auto"},
      {"Dependencies", "A;B", "A;B", ""},
      {"Account", "NetworkService", "NT AUTHORITY\\NetworkService", "LocalSystem"},
      {"Account", ".\\alice secret", ".\\alice", "LocalSystem"},
  };
  for (const auto& c : kCases) {
    const std::string strSet = std::string("set Svc ") + c.pszSetting + " " + c.pszData;
    ASSERT_EQ(Run(strSet), kExitOk) << strSet << ": " << console.m_strErr;
    ASSERT_EQ(Run(std::string("get Svc ") + c.pszSetting), kExitOk);
    EXPECT_EQ(console.m_strOut, std::string(c.pszGot) + "\n") << strSet;
    ASSERT_EQ(Run(std::string("reset Svc ") + c.pszSetting), kExitOk) << console.m_strErr;
    ASSERT_EQ(Run(std::string("get Svc ") + c.pszSetting), kExitOk);
    EXPECT_EQ(console.m_strOut, std::string(c.pszReset) + "\n") << c.pszSetting;
  }
  EXPECT_EQ(fake.FindService("Svc")->strPassword, "");  // the reset to LocalSystem cleared it
  ASSERT_EQ(Run("get Svc"), kExitOk);
  EXPECT_NE(console.m_strOut.find("StopTimeout = 15000 (default)\n"), std::string::npos);
  EXPECT_NE(console.m_strOut.find("Runfile = C:\\App\\app.exe\n"), std::string::npos);
  EXPECT_NE(console.m_strOut.find("Startup = auto\n"), std::string::npos);
}

// The manager gives a service at the system's shutdown its pre-shutdown timeout: install, set
// and reset of StopTimeout keep it at StopTimeout and the margin (never below the floor).
TEST_F(CliToolTest, StopTimeoutCarriesThePreshutdownTimeout) {
  InstallOwn("Svc");
  EXPECT_EQ(fake.CountCalls("ChangePreshutdownTimeout"), 1);
  FakeService& service = *fake.FindService("Svc");
  const struct {
    const char* pszArgs;
    std::uint32_t dwTimeoutMs;
  } kSteps[] = {{"set Svc StopTimeout 300000", 305000},
                {"set Svc StopTimeout 5000", 180000},
                {"set Svc StopTimeout 600000", 605000},
                {"set Svc Restart Always", 605000},
                {"reset Svc StopTimeout", 180000}};
  for (const auto& step : kSteps) {
    ASSERT_EQ(Run(step.pszArgs), kExitOk) << step.pszArgs << ": " << console.m_strErr;
    EXPECT_EQ(service.dwPreshutdownTimeoutMs, step.dwTimeoutMs) << step.pszArgs;
  }
  EXPECT_EQ(fake.CountCalls("ChangePreshutdownTimeout"), 5);  // not for other values
  // Refused by the manager: said in one line, and the command fails.
  fake.FailCall("ChangePreshutdownTimeout", 5);
  for (const char* pszArgs : {"set Svc StopTimeout 300000", "reset Svc StopTimeout"}) {
    EXPECT_EQ(Run(pszArgs), kExitFailure) << pszArgs;
    EXPECT_EQ(std::count(console.m_strErr.begin(), console.m_strErr.end(), '\n'), 1) << pszArgs;
    EXPECT_NE(console.m_strErr.find("StopTimeout of Svc is changed, but its pre-shutdown timeout"),
              std::string::npos);
  }
  EXPECT_EQ(service.dwPreshutdownTimeoutMs, 180000u);
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
}

TEST_F(CliToolTest, BadEditsChangeNothing) {
  InstallOwn("Svc");
  // A short back-off: a reset of its delay to the default would leave the cap below it.
  ASSERT_EQ(Run("set Svc RestartDelay 400"), kExitOk);
  ASSERT_EQ(Run("set Svc RestartDelayMax 500"), kExitOk);
  fake.AddService("Foreign", platform::kServiceDemandStart);
  // Another installer's service, with a Parameters key of its own.
  fake.SetValue(contract::ParametersKeyPath("Other"), "Installer", platform::kRegSz, "elsewhere");
  fake.SetValue(contract::ParametersKeyPath("Other"), "StopTimeout", platform::kRegDword,
                std::string(4, '\0'));
  fake.AddService("Other", platform::kServiceDemandStart);
  const std::string strBefore = Snapshot("Svc");
  const std::string strForeign = Snapshot("Foreign");
  const std::string strOther = Snapshot("Other");
  for (const char* pszArgs : {"set Svc Colour red",
                              "set Svc StopTimeout soon",
                              "set Svc Restart sometimes",
                              "set Svc Runfile \"\"",
                              "set Svc Runfile a\\\"b.exe",
                              "set Svc Account .\\alice",
                              "set Svc Startup boot",
                              "reset Svc Runfile",
                              "reset Svc RestartDelay",
                              "set Svc RestartDelay 0",
                              "set Svc StopTimeout 600001",
                              "set Svc RestartDelayMax 10",
                              "set Svc ReadyCheck tcp:0",
                              "set Svc ReadyCheck http://localhost:65536/",
                              "set Svc HealthCheck file:",
                              "set Svc HealthCheck sometimes",
                              "set Svc ReadyCheck exec:check.cmd",
                              "set Svc ReadyTimeout 0",
                              "set Svc ReadyTimeout 600001",
                              "set Svc ReadyInterval 49",
                              "set Svc HealthRetries 0",
                              "set Missing StopTimeout 1",
                              "set Foreign StopTimeout 1",
                              "set Other StopTimeout 1",
                              "set Other DisplayName x",
                              "set Foreign Description x",
                              "reset Other StopTimeout",
                              "reset Foreign Startup",
                              "set Svc DisplayName \"a\nb\"",
                              "set Svc Stdout C:\\a\r\nb",
                              "set Svc Arguments -x\ny",
                              "set --quoted Svc Arguments \" a\rb \"",
                              "get Svc Colour",
                              "get Missing"}) {
    EXPECT_EQ(Run(pszArgs), kExitFailure) << pszArgs;
    EXPECT_EQ(std::count(console.m_strErr.begin(), console.m_strErr.end(), '\n'), 1) << pszArgs;
    EXPECT_EQ(Snapshot("Svc"), strBefore) << pszArgs;
    EXPECT_EQ(Snapshot("Foreign"), strForeign) << pszArgs;
    EXPECT_EQ(Snapshot("Other"), strOther) << pszArgs;
  }
  EXPECT_EQ(fake.FindKey(contract::ParametersKeyPath("Foreign")), nullptr);

  // Refused by the system: the account, and the second step of a delayed start.
  fake.FailCall("ChangeServiceConfig", 1057, 1);
  EXPECT_EQ(Run("set Svc Account .\\bob pw"), kExitFailure);
  EXPECT_NE(console.m_strErr.find("it is as it was"), std::string::npos);
  fake.FailCall("ChangeDelayedAutoStart", 50);
  EXPECT_EQ(Run("set Svc Startup delayed-auto"), kExitFailure);
  EXPECT_NE(console.m_strErr.find("as it was"), std::string::npos);
  EXPECT_EQ(Snapshot("Svc"), strBefore);
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
}

// A manager that writes the whole record again on a change (Wine's) keeps the dependency list
// only when it is handed it: every other configuration change carries the current list.
TEST_F(CliToolTest, ConfigurationChangesHandTheDependencyListBack) {
  ASSERT_EQ(Run("install --depend Dep1;Dep2 Svc C:\\App\\app.exe"), kExitOk);
  InstallOwn("Alone");
  const std::string strList("[Dep1\0Dep2\0\0]", 13);
  for (const char* pszEdit :
       {"DisplayName Other", "Account NetworkService", "Startup manual", "Startup delayed-auto"}) {
    for (const auto& [pszName, strExpected] :
         {std::pair<const char*, std::string>{"Svc", strList}, {"Alone", "null"}}) {
      fake.m_calls.clear();
      ASSERT_EQ(Run(std::string("set ") + pszName + " " + pszEdit), kExitOk) << console.m_strErr;
      int cChanges = 0;
      for (const std::string& strCall : fake.m_calls) {
        if (strCall.rfind("ChangeServiceConfig(", 0) != 0) continue;
        ++cChanges;
        EXPECT_NE(strCall.find("," + strExpected + ","), std::string::npos) << strCall;
      }
      EXPECT_EQ(cChanges, 1) << pszName << " " << pszEdit;
    }
  }
  EXPECT_EQ(fake.FindService("Svc")->strDependencies, std::string("Dep1\0Dep2\0\0", 11));
}

// Where an account's password comes from, what the manager is handed for it (a virtual or
// managed account's is null), and the right to log on as a service: granted or told held, left
// alone with --no-grant, a warning when it cannot be given; a refusal changes nothing.
TEST_F(CliToolTest, AnAccountGetsItsPasswordUnseenAndTheRightToLogOnAsAService) {
  InstallOwn("Svc");
  fake.m_accounts["alice"];  // a local user without rights of its own
  fake.m_accounts["CORP\\web$"];
  fake.m_accounts["held"].rights = {"SeBatchLogonRight", "SeServiceLogonRight"};
  const struct {
    const char* pszArgs;
    const char* pszStdin;  // null: nothing on standard input
    const char* pszTyped;  // null: standard input is no console
    int nExit;
    const char* pszAccount;  // stored, with its password ("<null>": the one before kept)
    const char* pszOut;      // the line after "Account of Svc set."; "" none
    const char* pszErr;      // a part of the one line of error; "" none
  } kCases[] = {
      {"set --password-stdin Svc Account .\\alice", "s3cret pass", nullptr, kExitOk,
       ".\\alice|s3cret pass", "Log on as a service granted to .\\alice.", ""},
      {"set Svc Account .\\alice", nullptr, "typed", kExitOk, ".\\alice|typed",
       "Log on as a service already held by .\\alice.", ""},
      {"set Svc Account .\\held pw", nullptr, nullptr, kExitOk, ".\\held|pw",
       "Log on as a service already held by .\\held.", ""},
      {"set --no-grant Svc Account .\\alice pw2", nullptr, nullptr, kExitOk, ".\\alice|pw2", "",
       ""},
      {"set Svc Account \"NT SERVICE\\Svc\"", nullptr, nullptr, kExitOk, "NT SERVICE\\Svc|<null>",
       "", ""},
      {"set Svc Account CORP\\web$", nullptr, nullptr, kExitOk, "CORP\\web$|<null>",
       "Log on as a service granted to CORP\\web$.", ""},
      {"set Svc Account LocalService", nullptr, nullptr, kExitOk, "NT AUTHORITY\\LocalService|", "",
       ""},
      // The right cannot be given: the account is set all the same, with a warning.
      {"set Svc Account .\\bob pw", nullptr, nullptr, kExitOk, ".\\bob|pw", "",
       "Warning: could not find the account to grant \"Log on as a service\" to .\\bob"},
      // No password to be had, or one too many: nothing is changed.
      {"set Svc Account .\\alice", nullptr, nullptr, kExitFailure, nullptr, "",
       "needs its password: give it on standard input with --password-stdin"},
      {"set --password-stdin Svc Account .\\alice", nullptr, nullptr, kExitFailure, nullptr, "",
       "No password could be read from standard input"},
      {"set --password-stdin Svc Account .\\alice", "", nullptr, kExitFailure, nullptr, "",
       "is empty"},
      {"set Svc Account .\\alice", nullptr, "", kExitFailure, nullptr, "", "is empty"},
      {"set --password-stdin Svc Account .\\alice pw", "pw", nullptr, kExitFailure, nullptr, "",
       "given twice"},
      {"set --password-stdin Svc Account CORP\\web$", "pw", nullptr, kExitFailure, nullptr, "",
       "CORP\\web$ takes no password"},
      {"set --password-stdin Svc StopTimeout 1", "pw", nullptr, kExitFailure, nullptr, "",
       "--password-stdin is for Account only"},
      {"set --no-grant Svc StopTimeout 1", nullptr, nullptr, kExitFailure, nullptr, "",
       "--no-grant is for Account only"},
      {"set Missing Account .\\alice", nullptr, "typed", kExitFailure, nullptr, "", "Missing"},
  };
  for (const auto& c : kCases) {
    passwordInput = test::CFakePasswordInput{};
    passwordInput.m_bHasStdinLine = c.pszStdin != nullptr;
    passwordInput.m_strStdinLine = c.pszStdin != nullptr ? c.pszStdin : "";
    passwordInput.m_bConsole = c.pszTyped != nullptr;
    passwordInput.m_strTyped = c.pszTyped != nullptr ? c.pszTyped : "";
    FakeService& service = *fake.FindService("Svc");
    service.strPassword = "<null>";  // what a null password leaves
    const std::string strBefore = Snapshot("Svc");
    const int cLookups = fake.CountCalls("LookupAccountName");
    EXPECT_EQ(Run(c.pszArgs), c.nExit) << c.pszArgs << ": " << console.m_strErr;
    const std::string strErr = console.m_strErr;
    if (c.pszAccount == nullptr) {
      EXPECT_EQ(Snapshot("Svc"), strBefore) << c.pszArgs;
      EXPECT_EQ(console.m_strOut, "") << c.pszArgs;
    } else {
      EXPECT_EQ(service.strStartName + "|" + service.strPassword, c.pszAccount) << c.pszArgs;
      EXPECT_EQ(console.m_strOut,
                "Account of Svc set.\n" + std::string(c.pszOut) + (*c.pszOut != '\0' ? "\n" : ""))
          << c.pszArgs;
    }
    if (*c.pszErr == '\0') {
      EXPECT_EQ(strErr, "") << c.pszArgs;
    } else {
      EXPECT_NE(strErr.find(c.pszErr), std::string::npos) << c.pszArgs << ": " << strErr;
      EXPECT_EQ(std::count(strErr.begin(), strErr.end(), '\n'), 1) << c.pszArgs;
    }
    // Asked only where a password is missing and standard input is a console.
    const bool bAsked =
        c.pszTyped != nullptr && std::string(c.pszArgs).find("Missing") == std::string::npos;
    EXPECT_EQ(passwordInput.m_prompts, bAsked ? std::vector<std::string>{"Password for .\\alice: "}
                                              : std::vector<std::string>{})
        << c.pszArgs;
    // The policy is asked only when the right is to be given.
    const bool bGrant = c.nExit == kExitOk &&
                        std::string(c.pszArgs).find("--no-grant") == std::string::npos &&
                        (std::string(c.pszArgs).find(".\\") != std::string::npos ||
                         std::string(c.pszArgs).find('$') != std::string::npos);
    EXPECT_EQ(fake.CountCalls("LookupAccountName") - cLookups, bGrant ? 1 : 0) << c.pszArgs;
    EXPECT_EQ(fake.OpenHandleCount(), 0u) << c.pszArgs;
  }
  const std::vector<std::string> kGranted = {"SeServiceLogonRight"};
  EXPECT_EQ(fake.m_accounts["alice"].rights, kGranted);
  EXPECT_EQ(fake.m_accounts["CORP\\web$"].rights, kGranted);

  // Each step of the grant that fails leaves a warning naming it, and the account set.
  for (const auto& [pszCall, pszStep] :
       {std::pair<const char*, const char*>{"LsaOpenPolicy", "open the local security policy"},
        {"LsaAddAccountRights", "grant it"}}) {
    fake.m_accounts["alice"].rights.clear();
    fake.FailCall(pszCall, 0xC0000022u, fake.CountCalls(pszCall) + 1);
    EXPECT_EQ(Run("set Svc Account .\\alice pw"), kExitOk) << pszCall;
    EXPECT_NE(console.m_strErr.find(std::string("could not ") + pszStep), std::string::npos)
        << console.m_strErr;
    EXPECT_NE(console.m_strErr.find("Access is denied."), std::string::npos) << console.m_strErr;
    EXPECT_EQ(fake.OpenHandleCount(), 0u) << pszCall;
  }
  // Rights that cannot be read are given all the same.
  fake.FailCall("LsaEnumerateAccountRights", 0xC0000022u,
                fake.CountCalls("LsaEnumerateAccountRights") + 1);
  EXPECT_EQ(Run("set Svc Account .\\alice pw"), kExitOk);
  EXPECT_EQ(console.m_strOut, "Account of Svc set.\nLog on as a service granted to .\\alice.\n");
}

// Recovery is the manager's: a list goes with the flag that makes a stop with an error count
// and with the period the service has; none deletes both; the period alone only goes with a
// list. Each failure leaves the recovery as it was.
TEST_F(CliToolTest, RecoveryIsTheManagersFailureActionsAndTheirFlag) {
  InstallOwn("Svc");
  const FakeService& service = *fake.FindService("Svc");
  const struct {
    const char* pszArgs;
    int nExit;
    const char* pszActions;  // FailureActionsText after it
  } kSteps[] = {
      {"set Svc RecoveryReset 60", kExitFailure, "0:"},  // no list to count for
      {"set Svc RecoveryReset 86400", kExitOk, "0:"},    // the default: nothing to keep
      {"set Svc Recovery Restart/60000, restart/60000,none", kExitOk,
       "86400:1/60000,1/60000,0/0:flag"},
      {"set Svc RecoveryReset 3600", kExitOk, "3600:1/60000,1/60000,0/0:flag"},
      {"set Svc Recovery run/1000", kExitOk, "3600:3/1000:flag"},  // the period is kept
      {"set Svc Recovery reboot/1000", kExitOk, "3600:2/1000:flag"},
      {"reset Svc Recovery", kExitOk, "0::flag"},  // the flag does nothing without a list
      {"reset Svc RecoveryReset", kExitOk, "0::flag"},
      {"set Svc Recovery restart/1000", kExitOk, "86400:1/1000:flag"},
  };
  for (const auto& step : kSteps) {
    EXPECT_EQ(Run(step.pszArgs), step.nExit) << step.pszArgs << ": " << console.m_strErr;
    EXPECT_EQ(FailureActionsText(service), step.pszActions) << step.pszArgs;
  }
  EXPECT_EQ(fake.CountCalls("EnableShutdownPrivilege"), 1);  // for the reboot only
  ASSERT_EQ(Run("get Svc"), kExitOk);
  EXPECT_NE(console.m_strOut.find("\nRecovery = restart/1000\nRecoveryReset = 86400\n"),
            std::string::npos)
      << console.m_strOut;
  ASSERT_EQ(Run("get --json Svc Recovery"), kExitOk);
  EXPECT_EQ(Json::parse(console.m_strOut), (Json{{"Name", "Svc"}, {"Recovery", "restart/1000"}}));

  // Refused by the system: put back as it was, in one line.
  const std::string strBefore = Snapshot("Svc");
  fake.FailCall("ChangeFailureActionsFlag", 87, fake.CountCalls("ChangeFailureActionsFlag") + 1);
  EXPECT_EQ(Run("set Svc Recovery restart/5000"), kExitFailure);
  EXPECT_NE(console.m_strErr.find("its recovery is as it was"), std::string::npos);
  fake.FailCall("EnableShutdownPrivilege", 1300);  // ERROR_NOT_ALL_ASSIGNED
  EXPECT_EQ(Run("set Svc Recovery reboot/5000"), kExitFailure);
  EXPECT_NE(console.m_strErr.find("shutdown privilege"), std::string::npos);
  fake.FailCall("ChangeFailureActions", 5, fake.CountCalls("ChangeFailureActions") + 1);
  EXPECT_EQ(Run("set Svc RecoveryReset 10"), kExitFailure);
  EXPECT_EQ(Snapshot("Svc"), strBefore);
  EXPECT_EQ(fake.OpenHandleCount(), 0u);

  // A manager that cannot tell its failure actions (Wine's) has none; any other failure to
  // read them is said.
  fake.FailCall("QueryFailureActions", 124, fake.CountCalls("QueryFailureActions") + 1);
  ASSERT_EQ(Run("get Svc Recovery"), kExitOk);
  EXPECT_EQ(console.m_strOut, "none\n");
  fake.FailCall("QueryFailureActions", 5, fake.CountCalls("QueryFailureActions") + 1);
  EXPECT_EQ(Run("get Svc Recovery"), kExitFailure);
  EXPECT_NE(console.m_strErr.find("Could not read the recovery of Svc"), std::string::npos);
}

TEST_F(CliToolTest, ControlAndStatusExitCodes) {
  InstallOwn("Svc");
  EXPECT_EQ(Run("status Svc"), kExitStopped);
  EXPECT_EQ(console.m_strOut, "Svc: stopped\n");
  EXPECT_EQ(Run("start Svc"), kExitOk) << console.m_strErr;
  EXPECT_EQ(Run("status Svc"), kExitOk);
  EXPECT_EQ(console.m_strOut, "Svc: running (the runner tells nothing of the program)\n");
  // The record read is the one of the service's own process, and its times are shown local.
  fake.FindService("Svc")->dwProcessId = 4242;
  runnerView.m_read = RunnerViewRead::kRead;
  runnerView.m_state = {contract::state::Phase::kRunning, 1234, 777, false, 0, 0, 0};
  EXPECT_EQ(Run("status Svc"), kExitOk);
  EXPECT_EQ(console.m_strOut,
            "Svc: running (program running, process 1234, since 2026-12-09 03:10:22)\n");
  EXPECT_EQ(runnerView.m_reads, std::vector<std::uint32_t>{4242});
  EXPECT_EQ(runnerView.m_converted, std::vector<std::uint64_t>{777});
  // The record is checked against the account the service runs as.
  fake.FindService("Svc")->strStartName = kLocalService;
  EXPECT_EQ(Run("status Svc"), kExitOk);
  EXPECT_EQ(runnerView.m_accounts.back(), "Svc|NT AUTHORITY\\LocalService");
  runnerView.m_state = {contract::state::Phase::kRestarting, 0, 777, true, 3, 2, 0};
  EXPECT_EQ(Run("status Svc"), kExitRestarting);
  EXPECT_EQ(Run("start Svc"), kExitOk);  // running already
  EXPECT_EQ(Run("rotate Svc"), kExitOk);
  EXPECT_EQ(fake.FindService("Svc")->controls, std::vector<std::uint32_t>{128});
  // A program that writes its files itself has nothing the runner could rotate: said before
  // asking. A setting that passes the lines through the runner lets it rotate.
  const struct {
    const char* pszSetting;
    const char* pszValue;
    int nExit;
  } kRoutes[] = {{"Stdout", "C:\\Logs\\out.log", kExitFailure},
                 {"RotateDaily", "1", kExitOk},
                 {"Timestamps", "1", kExitOk},
                 {"ReadyCheck", "output:Started", kExitOk}};
  for (const auto& route : kRoutes) {
    const std::string strSetting = route.pszSetting;
    ASSERT_EQ(Run("set Svc " + strSetting + " " + route.pszValue), kExitOk) << console.m_strErr;
    EXPECT_EQ(Run("rotate Svc"), route.nExit) << strSetting;
    if (route.nExit == kExitFailure) {
      EXPECT_EQ(console.m_strErr,
                "Svc's program writes its output files itself: rotation needs a rotation setting "
                "(RotateBytes or RotateDaily).\n");
      EXPECT_EQ(fake.FindService("Svc")->controls.size(), 1u);
    } else {
      ASSERT_EQ(Run("reset Svc " + strSetting), kExitOk);
    }
  }
  EXPECT_EQ(fake.FindService("Svc")->controls.size(), 4u);
  ASSERT_EQ(Run("reset Svc Stdout"), kExitOk);
  EXPECT_EQ(Run("restart Svc"), kExitOk) << console.m_strErr;
  EXPECT_EQ(Run("stop Svc"), kExitOk);
  EXPECT_EQ(Run("stop Svc"), kExitOk);  // stopped already
  EXPECT_EQ(Run("rotate Svc"), kExitFailure);

  // A program that ends at once with exit code 3.
  FakeService& service = *fake.FindService("Svc");
  service.dwStateAfterStart = platform::kServiceStopped;
  service.dwWin32ExitCode = 1066;
  service.dwServiceExitCode = 3;
  EXPECT_EQ(Run("start Svc"), kExitFailure);
  EXPECT_EQ(Run("status Svc"), kExitStopped);
  EXPECT_EQ(console.m_strOut, "Svc: stopped (the program ended with exit code 3)\n");

  // A service that never finishes stopping: the wait is bounded by --timeout.
  fake.AddService("Stuck", platform::kServiceDemandStart, platform::kServiceRunning)
      .nStopPendingWaits = -1;
  fake.m_sleeps.clear();
  EXPECT_EQ(Run("stop Stuck --timeout 2"), kExitFailure);
  EXPECT_EQ(fake.m_sleeps.size(), 2000u / kPollMs);
  EXPECT_EQ(Run("status Stuck"), kExitPending);
  EXPECT_EQ(Run("start Missing"), kExitFailure);
  EXPECT_EQ(Run("status Missing"), kExitFailure);
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
}

// A service with a ReadyCheck runs only once its program is ready: start waits for the
// runner's verdict (ReadyTimeout, the stop of a program never ready, 5 s), unless told.
TEST_F(CliToolTest, StartWaitsAsLongAsTheReadyCheckMay) {
  InstallOwn("Svc");
  FakeService& service = *fake.FindService("Svc");
  service.dwStateAfterStart = platform::kServiceStartPending;  // never ready
  service.dwProcessId = 4242;
  const struct {
    const char* pszSet;  // before the start
    const char* pszStart;
    std::uint32_t dwSeconds;
  } kCases[] = {
      {"reset Svc ReadyCheck", "start Svc", 30},
      {"set Svc ReadyCheck tcp:8080", "start Svc", 60 + 15 + 5},
      {"set Svc ReadyTimeout 600000", "start Svc", 600 + 15 + 5},
      {"set Svc StopTimeout 1", "start Svc --timeout 7", 7},
  };
  for (const auto& c : kCases) {
    ASSERT_EQ(Run(c.pszSet), kExitOk) << console.m_strErr;
    fake.m_sleeps.clear();
    EXPECT_EQ(Run(c.pszStart), kExitFailure) << c.pszSet;
    EXPECT_EQ(fake.m_sleeps.size(), c.dwSeconds * 1000 / kPollMs) << c.pszSet;
    EXPECT_NE(console.m_strErr.find("still starting after " + std::to_string(c.dwSeconds) + " s"),
              std::string::npos)
        << console.m_strErr;
  }
  // What the start waits for, from the runner's record, as status shows it too.
  runnerView.m_read = RunnerViewRead::kRead;
  runnerView.m_state.phase = contract::state::Phase::kStarting;
  runnerView.m_state.dwCheckFlags = contract::state::kWaitingForReady;
  runnerView.m_state.strCheck = "tcp:127.0.0.1:8080";
  runnerView.m_state.dwReadyTimeoutMs = 60000;
  EXPECT_EQ(Run("status Svc"), kExitPending);
  EXPECT_EQ(console.m_strOut, "Svc: starting (waiting for tcp:127.0.0.1:8080, 0 s of 60 s)\n");
  EXPECT_EQ(runnerView.m_reads.back(), 4242u);
  EXPECT_EQ(Run("status Missing"), kExitFailure);
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
}

TEST_F(CliToolTest, ListShowsOnlyOurServices) {
  InstallOwn("Beta");
  InstallOwn("Alpha");
  fake.AddService("Foreign", platform::kServiceAutoStart);
  fake.SetValue(contract::ParametersKeyPath("Other"), "Installer", platform::kRegSz, "elsewhere");
  fake.AddService("Other", platform::kServiceAutoStart);
  ASSERT_EQ(Run("start Beta"), kExitOk);
  ASSERT_EQ(Run("list"), kExitOk);
  EXPECT_EQ(console.m_strOut,
            "Alpha  stopped         C:\\App\\app.exe\n"
            "Beta   running         C:\\App\\app.exe\n");
  EXPECT_TRUE(runnerView.m_reads.empty());  // no process, no record to read

  // A runner waiting to start its program again is told apart, as status does; the record
  // read is the one of the service's own process.
  fake.FindService("Beta")->dwProcessId = 4242;
  runnerView.m_read = RunnerViewRead::kRead;
  runnerView.m_state = {contract::state::Phase::kRestarting, 0, 777, true, 3, 2, 0};
  ASSERT_EQ(Run("list"), kExitOk);
  EXPECT_EQ(console.m_strOut,
            "Alpha  stopped         C:\\App\\app.exe\n"
            "Beta   restarting      C:\\App\\app.exe\n");
  EXPECT_EQ(runnerView.m_reads, std::vector<std::uint32_t>{4242});
  EXPECT_EQ(runnerView.m_accounts, std::vector<std::string>{"Beta|LocalSystem"});
  // A record whose owner is not the runner's tells nothing.
  runnerView.m_read = RunnerViewRead::kUntrusted;
  ASSERT_EQ(Run("list"), kExitOk);
  EXPECT_NE(console.m_strOut.find("Beta   running "), std::string::npos) << console.m_strOut;

  // The rarer states the column sums up.
  fake.FindService("Alpha")->dwState = platform::kServicePausePending;
  ASSERT_EQ(Run("list"), kExitOk);
  EXPECT_NE(console.m_strOut.find("Alpha  pending "), std::string::npos) << console.m_strOut;

  // The manager's names and the registry's match in any letter case.
  fake.SetValue(contract::ParametersKeyPath("gamma"), "Installer", platform::kRegSz,
                std::string(contract::kInstallerMarker) + '\0');
  fake.AddService("GAMMA", platform::kServiceAutoStart, platform::kServiceRunning);
  ASSERT_EQ(Run("list"), kExitOk);
  EXPECT_NE(console.m_strOut.find("gamma  running "), std::string::npos) << console.m_strOut;
}

// Runs a dump's lines on another machine's manager, each as cmd hands it on; every one must
// succeed, and each is followed by the line that ends the script when it fails.
void ReplayDump(const std::string& strScript, CCommandLineTool& elsewhereTool,
                CCapture& elsewhereConsole) {
  std::vector<std::string> lines;
  for (std::size_t nAt = 0; nAt < strScript.size();) {
    const std::size_t nEnd = std::min(strScript.find('\n', nAt), strScript.size());
    lines.push_back(strScript.substr(nAt, nEnd - nAt));
    nAt = nEnd + 1;
  }
  ASSERT_EQ(lines[0], "@setlocal DisableDelayedExpansion");  // so that !x! is no variable
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind('@', 0) == 0) continue;
    ASSERT_EQ(lines[i].rfind("quillmnt ", 0), 0u) << lines[i];
    ASSERT_LT(i + 1, lines.size());
    EXPECT_EQ(lines[i + 1], kDumpStopLine) << lines[i];
    ASSERT_EQ(elsewhereTool.Run(AsCmdPassesIt(lines[i])), kExitOk)
        << lines[i] << ": " << elsewhereConsole.m_strErr;
    ++i;
  }
}

TEST_F(CliToolTest, DumpRecreatesTheServiceElsewhere) {
  ASSERT_EQ(Run("install --display-name \"Dump Me\" --startup manual --depend Dep1;Dep2 "
                "--dir \"C:\\work dir\" Svc \"C:\\Program Files\\app.exe\" -x \"a & b\" 100% ^"),
            kExitOk);
  // The restart delays, each pair set in the order the check accepts: a RestartDelay above the
  // default cap needs its RestartDelayMax first, a RestartDelayMax below the default delay
  // needs its RestartDelay first; the dump must find that order too.
  const struct {
    const char* pszFirst;
    const char* pszSecond;
  } kDelays[] = {{"set Svc RestartDelayMax 300000", "set Svc RestartDelay 90000"},
                 {"set Svc RestartDelay 500", "set Svc RestartDelayMax 800"}};
  for (const auto& delays : kDelays) {
    for (const char* pszArgs :
         {"set Svc Description \"Keeps 50% & more\"", "set Svc Startup delayed-auto",
          "set Svc Account LocalService", "set Svc StopTimeout 2500", "set Svc Restart Never",
          "set Svc Recovery restart/60000,reboot/120000", "set Svc RecoveryReset 3600",
          "set Svc Environment A=1 \"B=x y\"", "set Svc Stderr C:\\err.log",
          "reset Svc RestartDelay", "reset Svc RestartDelayMax", delays.pszFirst,
          delays.pszSecond}) {
      ASSERT_EQ(Run(pszArgs), kExitOk) << pszArgs << console.m_strErr;
    }
    ASSERT_EQ(Run("dump Svc"), kExitOk) << console.m_strErr;

    CFakePlatform elsewhere;
    CCapture elsewhereConsole;
    CCommandLineTool elsewhereTool{elsewhere,     elsewhere,        elsewhere, elsewhere,
                                   runnerView,    codePage,         utf8,      applyInput,
                                   passwordInput, elsewhereConsole, "9.9"};
    ReplayDump(console.m_strOut, elsewhereTool, elsewhereConsole);
    EXPECT_EQ(Snapshot(elsewhere, "Svc"), Snapshot("Svc")) << delays.pszFirst;
  }
}

// Every text dump writes, as another tool may have left it (set's own checks bypassed), with
// each character that cmd or the runtime treats specially: replayed, the script recreates it
// byte for byte; a text that cannot stand on one line of the script, or in the code page cmd
// reads it in, refuses the dump in one line that names it, and nothing is written.
TEST_F(CliToolTest, DumpCarriesEveryTextExactlyOrRefusesIt) {
  const struct {
    const char* pszSetting;
    const char* pszPrefix;  // the payload follows it
  } kTexts[] = {{"DisplayName", "v "},  {"Description", "v "},     {"Dependencies", "v"},
                {"Account", ".\\v"},    {"Runfile", "C:\\v"},      {"Arguments", ""},
                {"Directory", "C:\\v"}, {"Stdout", "C:\\v "},      {"Stderr", "C:\\v "},
                {"Environment", "A="},  {"ReadyCheck", "output:"}, {"HealthCheck", "exec:"}};
  const struct {
    const char* pszPayload;
    bool bRefused;
  } kPayloads[] = {{"a\rb", true}, {"a\nb", true},      {"a\r\nb&echo x", true},
                   {"\x80", true}, {"!x!", false},      {"%x%", false},
                   {"^", false},   {"a&b|c>d", false},  {"\"q\" \"", false},
                   {"\\", false},  {"  edge  ", false}, {"Caf\xE9", false}};
  CFakePlatform elsewhere;
  CCapture elsewhereConsole;
  CCommandLineTool elsewhereTool{elsewhere,     elsewhere,        elsewhere, elsewhere,
                                 runnerView,    codePage,         utf8,      applyInput,
                                 passwordInput, elsewhereConsole, "9.9"};
  int nService = 0;
  for (const auto& text : kTexts) {
    for (const auto& payload : kPayloads) {
      const std::string strValue = std::string(text.pszPrefix) + payload.pszPayload;
      const std::string_view setting = text.pszSetting;
      // A user's password cannot be read: its line is left for the user (see above). A quote
      // in a Runfile the runner refuses, and so does install.
      if ((setting == "Account" && !payload.bRefused) ||
          (setting == "Runfile" && strValue.find('"') != std::string::npos)) {
        continue;
      }
      const std::string strName = "S" + std::to_string(++nService);
      InstallOwn(strName);
      FakeService& service = *fake.FindService(strName);
      const std::string strKey = contract::ParametersKeyPath(strName);
      if (setting == "DisplayName") service.strDisplayName = strValue;
      if (setting == "Description") service.strDescription = strValue;
      if (setting == "Dependencies") service.strDependencies = strValue + std::string(2, '\0');
      if (setting == "Account") service.strStartName = strValue;
      if (setting == "Environment") {
        fake.SetValue(strKey, "Environment", platform::kRegMultiSz,
                      strValue + '\0' + "B=2" + std::string(2, '\0'));
      } else if (setting != "DisplayName" && setting != "Description" &&
                 setting != "Dependencies" && setting != "Account") {
        fake.SetValue(strKey, text.pszSetting, platform::kRegSz, strValue + '\0');
      }
      const std::string strCase = std::string(text.pszSetting) + " = " + strValue;
      const int nExit = Run("dump " + strName);
      if (payload.bRefused) {
        EXPECT_EQ(nExit, kExitFailure) << strCase;
        EXPECT_EQ(console.m_strOut, "") << strCase;
        EXPECT_EQ(
            console.m_strErr.rfind(std::string(text.pszSetting) + " of " + strName + " holds ", 0),
            0u)
            << strCase << ": " << console.m_strErr;
        EXPECT_EQ(std::count(console.m_strErr.begin(), console.m_strErr.end(), '\n'), 1)
            << console.m_strErr;
        continue;
      }
      ASSERT_EQ(nExit, kExitOk) << strCase << ": " << console.m_strErr;
      ReplayDump(console.m_strOut, elsewhereTool, elsewhereConsole);
      EXPECT_EQ(Snapshot(elsewhere, strName), Snapshot(strName)) << strCase << "\n"
                                                                 << console.m_strOut;
    }
  }
}

TEST_F(CliToolTest, UsageErrorsExitTwoAndHelpExitsZero) {
  EXPECT_EQ(Run("frobnicate"), kExitUsage);
  EXPECT_NE(console.m_strErr.find("unknown command"), std::string::npos);
  EXPECT_EQ(Run("help frobnicate"), kExitUsage);
  EXPECT_EQ(Run("remove Svc --fast"), kExitUsage);
  EXPECT_EQ(Run("--help"), kExitOk);
  EXPECT_EQ(Run("help set"), kExitOk);
  EXPECT_NE(console.m_strOut.find("StopTimeout"), std::string::npos);
  EXPECT_EQ(Run("--version"), kExitOk);
  EXPECT_EQ(console.m_strOut, "quillmnt 9.9\n");
}

}  // namespace
}  // namespace qm::cli
