// The command line's splitting, quoting and parsing, and the settings table.

#include <gtest/gtest.h>

#include "cli/arguments.h"
#include "cli/recovery_list.h"
#include "cli/service_account.h"
#include "cli/service_words.h"
#include "cli/settings.h"
#include "cli/tokenizer.h"

namespace qm::cli {
namespace {

std::vector<std::string> Texts(std::string_view line) {
  std::vector<std::string> texts;
  for (const Token& token : SplitCommandLine(line)) texts.push_back(token.strText);
  return texts;
}

TEST(CliSplit, FollowsTheRuntimeRules) {
  const struct {
    const char* pszLine;
    std::vector<std::string> expected;
  } kCases[] = {
      {"quillmnt a b", {"quillmnt", "a", "b"}},
      {"\"C:\\Program Files\\quillmnt.com\" list", {"C:\\Program Files\\quillmnt.com", "list"}},
      {"q \"a b\"\tc", {"q", "a b", "c"}},
      {"q a\\\\\"b c\"", {"q", "a\\b c"}},
      {"q a\\\"b", {"q", "a\"b"}},
      {"q C:\\dir\\ x", {"q", "C:\\dir\\", "x"}},
      {"q \"a\"\"b\"", {"q", "a\"b"}},
      {"q \"\"", {"q", ""}},
      {"q   ", {"q"}},
  };
  for (const auto& c : kCases) EXPECT_EQ(Texts(c.pszLine), c.expected) << c.pszLine;
}

TEST(CliSplit, QuotedArgumentsComeBackUnchanged) {
  for (const char* pszText : {"plain", "", "a b", "tab\there", "say \"hi\"", "C:\\dir\\",
                              "C:\\my dir\\", "a\\\\\"b", "\\\"", "%PATH% & more"}) {
    const std::string strLine = "q " + QuoteArgument(pszText) + " end";
    const std::vector<std::string> texts = Texts(strLine);
    ASSERT_EQ(texts.size(), 3u) << strLine;
    EXPECT_EQ(texts[1], pszText) << strLine;
  }
}

TEST(CliSplit, BatchEscapingLeavesQuotedTextAndDoublesPercents) {
  EXPECT_EQ(EscapeForBatch("a & b | c"), "a ^& b ^| c");
  EXPECT_EQ(EscapeForBatch("x \"a & b\" > f"), "x \"a & b\" ^> f");
  EXPECT_EQ(EscapeForBatch("%TEMP% \"50%\""), "%%TEMP%% \"50%%\"");
}

TEST(CliParse, InstallKeepsTheProgramsArgumentsAsTyped) {
  const ParseResult r = ParseCommandLine(
      "quillmnt install --display-name \"My App\" --startup=manual --depend A;B --dir C:\\w "
      "MyApp \"C:\\Program Files\\app.exe\" -x \"a  b\" --dir  \"\"   ");
  ASSERT_TRUE(r.bOk) << r.strError;
  const ParsedCommand& c = r.command;
  EXPECT_STREQ(r.pCommand->pszName, "install");
  EXPECT_EQ(c.displayName, "My App");
  EXPECT_EQ(c.startup, "manual");
  EXPECT_EQ(c.dependencies, "A;B");
  EXPECT_EQ(c.directory, "C:\\w");
  EXPECT_EQ(c.strName, "MyApp");
  EXPECT_EQ(c.strProgram, "C:\\Program Files\\app.exe");
  EXPECT_EQ(c.strRest, "-x \"a  b\" --dir  \"\"");

  const ParseResult bare = ParseCommandLine("q install Svc app.exe");
  ASSERT_TRUE(bare.bOk);
  EXPECT_EQ(bare.command.strRest, "");
  EXPECT_EQ(ParseCommandLine("q install S p --x").command.strRest, "--x");  // p's option
}

TEST(CliParse, CommandsAndOptions) {
  const ParseResult remove = ParseCommandLine("q remove Svc --force");
  ASSERT_TRUE(remove.bOk);
  EXPECT_TRUE(remove.command.bForce);
  const ParseResult start = ParseCommandLine("q start --timeout 5 Svc --no-wait");
  ASSERT_TRUE(start.bOk);
  EXPECT_EQ(start.command.strName, "Svc");
  EXPECT_EQ(start.command.timeoutSeconds, 5u);
  EXPECT_TRUE(start.command.bNoWait);
  const ParseResult set = ParseCommandLine("q set Svc Arguments --x \"a b\"");
  ASSERT_TRUE(set.bOk);
  EXPECT_EQ(set.command.strSetting, "Arguments");
  EXPECT_EQ(set.command.strRest, "--x \"a b\"");
  ASSERT_EQ(set.command.rest.size(), 2u);
  EXPECT_EQ(set.command.rest[1].strText, "a b");
  // --quoted: the one data argument, unquoted, blanks at its ends kept.
  const ParseResult quoted = ParseCommandLine("q set --quoted Svc Arguments \"  -x \\\"a b\\\" \"");
  ASSERT_TRUE(quoted.bOk) << quoted.strError;
  EXPECT_EQ(quoted.command.strName, "Svc");
  EXPECT_EQ(quoted.command.strRest, "  -x \"a b\" ");
  const ParseResult get = ParseCommandLine("q get Svc StopTimeout");
  ASSERT_TRUE(get.bOk);
  EXPECT_EQ(get.command.strSetting, "StopTimeout");
  EXPECT_STREQ(ParseCommandLine("q --version").pCommand->pszName, "--version");
  EXPECT_EQ(ParseCommandLine("q help dump").command.strTopic, "dump");
}

// "--" ends the options; an option's separate value that is itself an option is refused, so
// that "--display-name --startup manual S p" cannot install a service named "manual".
TEST(CliParse, DoubleDashEndsTheOptionsAndAnOptionIsNoValue) {
  const struct {
    const char* pszLine;
    bool bOk;
    const char* pszName;
    const char* pszDisplayName;  // as given; empty when not
  } kCases[] = {
      {"q install -- --weird p", true, "--weird", ""},
      {"q install --startup manual -- S p", true, "S", ""},
      {"q install --display-name=--startup S p", true, "S", "--startup"},
      {"q install --display-name --startup manual S p", false, "", ""},
      {"q install --dir -- S p", false, "", ""},
      {"q install --", false, "", ""},
      {"q remove -- --force", true, "--force", ""},
      {"q status -- --timeout", true, "--timeout", ""},
  };
  for (const auto& c : kCases) {
    const ParseResult r = ParseCommandLine(c.pszLine);
    ASSERT_EQ(r.bOk, c.bOk) << c.pszLine << ": " << r.strError;
    if (!r.bOk) continue;
    EXPECT_EQ(r.command.strName, c.pszName) << c.pszLine;
    EXPECT_EQ(r.command.displayName.value_or(""), c.pszDisplayName) << c.pszLine;
    EXPECT_FALSE(r.command.bForce) << c.pszLine;
  }
  EXPECT_EQ(ParseCommandLine("q install --display-name --startup manual S p").strError,
            "--display-name needs a value, not --startup (write --display-name=--startup to mean "
            "it)");
  // The longest wait is a day.
  EXPECT_EQ(ParseCommandLine("q stop Svc --timeout 86400").command.timeoutSeconds, 86400u);
  EXPECT_FALSE(ParseCommandLine("q stop Svc --timeout 86401").bOk);
}

TEST(CliParse, UsageErrors) {
  for (const char* pszLine :
       {"q", "q frobnicate", "q install", "q install Svc", "q install --startup sometimes S p",
        "q install --colour red S p", "q remove", "q remove Svc --fast", "q start Svc --timeout",
        "q start Svc --timeout -1", "q status Svc --force", "q list extra", "q get", "q get a b c",
        "q reset Svc", "q set Svc Arguments", "q --version now", "q stop Svc --no-wait=1",
        "q set --quoted Svc Arguments a b"}) {
    const ParseResult r = ParseCommandLine(pszLine);
    EXPECT_FALSE(r.bOk) << pszLine;
    EXPECT_FALSE(r.strError.empty()) << pszLine;
  }
}

TEST(CliSettings, EveryRunnerValueButTheMarkerIsASettingInAnyCase) {
  for (const contract::RunnerValue& value : contract::kRunnerValues) {
    std::string strLower = value.pszName;
    for (char& ch : strLower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    Setting setting;
    const bool bFound = FindSetting(strLower, &setting);
    if (std::string_view(value.pszName) == contract::value::kInstaller) {
      EXPECT_FALSE(bFound);
      continue;
    }
    ASSERT_TRUE(bFound) << value.pszName;
    EXPECT_STREQ(setting.pszName, value.pszName);
    EXPECT_EQ(setting.pValue, &value);
  }
  for (const char* pszName : kServiceSettings) {
    Setting setting;
    EXPECT_TRUE(FindSetting(pszName, &setting)) << pszName;
    EXPECT_EQ(setting.pValue, nullptr);
  }
  Setting setting;
  EXPECT_FALSE(FindSetting("Colour", &setting));
  EXPECT_EQ(AllSettings().size(),
            std::size(contract::kRunnerValues) - 1 + std::size(kServiceSettings));
}

TEST(CliSettings, DataIsCheckedAgainstTypeAndWords) {
  const struct {
    const char* pszSetting;
    std::string_view raw;
    bool bOk;
    const char* pszStored;  // text stored, or the DWORD in decimal
  } kCases[] = {
      {"StopTimeout", "5000", true, "5000"},
      {"stoptimeout", "0x10", true, "16"},
      {"StopTimeout", "4294967295", true, "4294967295"},
      {"StopTimeout", "4294967296", false, ""},
      {"StopTimeout", "-1", false, ""},
      {"StopTimeout", "ten", false, ""},
      {"StopTimeout", "1 2", false, ""},
      {"Restart", "always", true, "Always"},
      {"Restart", "sometimes", false, ""},
      {"Priority", "BELOWNORMAL", true, "BelowNormal"},
      {"Stdout", "C:\\logs\\out.log", true, "C:\\logs\\out.log"},
      {"Arguments", "-x \"a  b\"", true, "-x \"a  b\""},
      {"Environment", "A=1 B=x=y", true, "A=1|B=x=y|"},
      {"Environment", "A=1 novalue", false, ""},
      {"Environment", "=x", false, ""},
      {"Startup", "Delayed-Auto", true, "delayed-auto"},
      {"Startup", "boot", false, ""},
      {"DisplayName", "My Service", true, "My Service"},
      {"Dependencies", "A;B C", true, "A;B;C"},
      {"Account", "networkservice", true, "NT AUTHORITY\\NetworkService"},
      {"Account", "\"NT SERVICE\\Svc\"", true, "NT SERVICE\\Svc"},
      {"Account", "LocalSystem secret", false, ""},
      {"Account", ".\\alice", true, ".\\alice"},  // its password is asked for
      {"Account", ".\\alice \"pass word\"", true, ".\\alice"},
      {"Account", "CORP\\web$", true, "CORP\\web$"},
      {"Account", "CORP\\web$ secret", false, ""},  // a managed account's password is the domain's
      {"Account", "\"NT SERVICE\\Svc\" secret", false, ""},
      // As Windows shows the built-in accounts: no password asked, none granted.
      {"Account", "\"NT AUTHORITY\\LOCAL SERVICE\"", true, "NT AUTHORITY\\LocalService"},
      {"Account", "\"nt authority\\network service\"", true, "NT AUTHORITY\\NetworkService"},
      {"Account", "\"NT AUTHORITY\\SYSTEM\"", true, "LocalSystem"},
      // An option after the account is no password.
      {"Account", ".\\alice --password-stdin", false, ""},
      {"Account", ".\\alice --no-grant", false, ""},
      {"Recovery", "restart/60000,Restart/60000,NONE", true, "restart/60000,restart/60000,none"},
      {"Recovery", "restart/0, run/1000 , reboot/30000,none/5", true,
       "restart/0,run/1000,reboot/30000,none/5"},
      {"Recovery", "None", true, "none"},
      {"Recovery", "restart", false, ""},  // a delay is needed but for none
      {"Recovery", "restart/soon", false, ""},
      {"Recovery", "restart/1000,", false, ""},
      {"Recovery", "retry/1000", false, ""},
      {"Recovery", "restart/4294967296", false, ""},
      {"RecoveryReset", "3600", true, "3600"},
      {"RecoveryReset", "a day", false, ""},
      // A line break only where a text may run over lines.
      {"Description", "\"two\r\nlines\"", true, "two\r\nlines"},
      {"Environment", "\"A=x\ny\" B=1", true, "A=x\ny|B=1|"},
      {"DisplayName", "\"a\nb\"", false, ""},
      {"Arguments", "-x a\r\nb", false, ""},
      {"Runfile", "C:\\a\nb.exe", false, ""},
      {"Directory", "\"C:\\a\rb\"", false, ""},
      {"Stdout", "C:\\a\r\nb.log", false, ""},
      {"Stderr", "C:\\b\n", false, ""},
      {"Dependencies", "A;B\nC", false, ""},
      {"Account", "\"NT SERVICE\\a\nb\"", false, ""},
  };
  for (const auto& c : kCases) {
    Setting setting;
    ASSERT_TRUE(FindSetting(c.pszSetting, &setting)) << c.pszSetting;
    const std::string strLine = "q set S " + std::string(c.pszSetting) + " " + std::string(c.raw);
    const ParseResult parsed = ParseCommandLine(strLine);
    ASSERT_TRUE(parsed.bOk) << strLine;
    SettingData data;
    std::string strError;
    const bool bOk =
        ParseSettingData(setting, parsed.command.strRest, parsed.command.rest, &data, &strError);
    EXPECT_EQ(bOk, c.bOk) << strLine << ": " << strError;
    if (!bOk) {
      EXPECT_FALSE(strError.empty());
      EXPECT_EQ(strError.find('\n'), std::string::npos) << strError;
      continue;
    }
    std::string strStored = data.strText;
    if ((setting.pValue != nullptr && setting.pValue->type == contract::ValueType::kDword) ||
        setting.kind == SettingKind::kRecoveryReset) {
      strStored = std::to_string(data.dwValue);
    } else if (setting.pValue != nullptr &&
               setting.pValue->type == contract::ValueType::kMultiString) {
      strStored = data.strList;
      for (char& ch : strStored) ch = ch == '\0' ? '|' : ch;
    } else if (setting.kind == SettingKind::kStartup) {
      strStored =
          StartupWord(StartTypeOf(data.startup), data.startup == StartupChoice::kDelayedAuto);
    }
    EXPECT_EQ(strStored, c.pszStored) << strLine;
  }
}

// Which accounts take a password and need the right to log on as a service, as the manager
// and the security policy see them.
TEST(CliSettings, AnAccountNeedsAPasswordAndTheLogonRightOnlyWhereTheSystemAsks) {
  const struct {
    const char* pszAccount;  // as stored
    AccountKind kind;
    const char* pszLookup;  // the name the policy is asked for
  } kCases[] = {
      {"LocalSystem", AccountKind::kBuiltIn, "LocalSystem"},
      {"nt authority\\localservice", AccountKind::kBuiltIn, "nt authority\\localservice"},
      {"NT AUTHORITY\\NetworkService", AccountKind::kBuiltIn, "NT AUTHORITY\\NetworkService"},
      {"NT SERVICE\\MyApp", AccountKind::kVirtual, "NT SERVICE\\MyApp"},
      {"nt service\\MyApp", AccountKind::kVirtual, "nt service\\MyApp"},
      {"NT SERVICE\\", AccountKind::kUser, "NT SERVICE\\"},
      {"CORP\\web$", AccountKind::kManaged, "CORP\\web$"},
      {"CORP\\$", AccountKind::kUser, "CORP\\$"},
      {"\\web$", AccountKind::kUser, "\\web$"},
      {".\\web$", AccountKind::kUser, "web$"},  // a local account, whatever its name
      {"web$", AccountKind::kUser, "web$"},
      {"CORP\\a\\b$", AccountKind::kUser, "CORP\\a\\b$"},
      {".\\alice", AccountKind::kUser, "alice"},
      {"CORP\\alice", AccountKind::kUser, "CORP\\alice"},
      {"alice@corp.example", AccountKind::kUser, "alice@corp.example"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(KindOfAccount(c.pszAccount), c.kind) << c.pszAccount;
    EXPECT_EQ(AccountNeedsPassword(c.pszAccount), c.kind == AccountKind::kUser) << c.pszAccount;
    EXPECT_EQ(AccountNeedsLogonRight(c.pszAccount),
              c.kind == AccountKind::kUser || c.kind == AccountKind::kManaged)
        << c.pszAccount;
    EXPECT_EQ(LookupName(c.pszAccount), c.pszLookup);
  }
}

// The manager's failure actions as the one line get shows and set takes back, and the list's
// bounds.
TEST(CliSettings, RecoveryListsBecomeTheManagersActionsAndBack) {
  using platform::FailureActions;
  const struct {
    const char* pszText;
    std::vector<platform::FailureAction> actions;
  } kCases[] = {
      {"none", {}},
      {"restart/60000,restart/60000,none",
       {{platform::kScActionRestart, 60000}, {platform::kScActionRestart, 60000}, {0, 0}}},
      {"run/1000,reboot/30000", {{platform::kScActionRunCommand, 1000}, {2, 30000}}},
      {"none/5", {{platform::kScActionNone, 5}}},
      {"restart/4294967295", {{platform::kScActionRestart, 4294967295u}}},
  };
  for (const auto& c : kCases) {
    FailureActions actions;
    std::string strError;
    ASSERT_TRUE(ParseRecovery(c.pszText, &actions, &strError)) << c.pszText << ": " << strError;
    ASSERT_EQ(actions.count, c.actions.size()) << c.pszText;
    for (std::size_t i = 0; i < c.actions.size(); ++i) {
      EXPECT_EQ(actions.actions[i].type, c.actions[i].type) << c.pszText << " " << i;
      EXPECT_EQ(actions.actions[i].delayMs, c.actions[i].delayMs) << c.pszText << " " << i;
    }
    EXPECT_EQ(RecoveryText(actions), c.pszText);
    EXPECT_EQ(HasReboot(actions), std::string(c.pszText).find("reboot") != std::string::npos);
  }
  // As many actions as the manager's record holds, and not one more.
  std::string strList = "restart/1";
  for (std::size_t i = 1; i < platform::kMaxFailureActions; ++i) strList += ",restart/1";
  FailureActions actions;
  std::string strError;
  EXPECT_TRUE(ParseRecovery(strList, &actions, &strError));
  EXPECT_FALSE(ParseRecovery(strList + ",none", &actions, &strError));
  EXPECT_NE(strError.find("at most"), std::string::npos) << strError;
  // An action this system has no word for (set by another tool) shows as its number, which
  // set refuses rather than taking it for another.
  actions.count = 1;
  actions.actions[0] = {7, 100};
  EXPECT_EQ(RecoveryText(actions), "7/100");
  EXPECT_FALSE(ParseRecovery("7/100", &actions, &strError));
}

}  // namespace
}  // namespace qm::cli
