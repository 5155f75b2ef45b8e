#pragma once
// The command line's fixture: the tool over the scripted platform, with fakes of its other
// seams (the console, the runner's record, the code pages, apply's file and environment,
// standard input for passwords) and
// the helpers that look at what a command left behind.

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/command_line_tool.h"
#include "cli/exit_codes.h"
#include "tests/platform/fake_platform.h"

namespace qm::cli::test {

using platform::test::CFakePlatform;
using platform::test::FakeService;

class CCapture : public IConsole {
 public:
  void Out(std::string_view line) override { m_strOut += std::string(line) + "\n"; }
  void Err(std::string_view line) override { m_strErr += std::string(line) + "\n"; }
  std::string m_strOut;
  std::string m_strErr;
};

// The runner's record as a test scripts it; every service's runner tells the same.
class CFakeRunnerView : public IRunnerView {
 public:
  RunnerViewRead Read(std::uint32_t dwRunnerProcessId, const RunnerAccount& account,
                      contract::RunnerState* pState) override {
    m_reads.push_back(dwRunnerProcessId);
    m_accounts.push_back(account.strService + "|" + account.strAccount);
    *pState = m_state;
    return m_read;
  }
  std::uint64_t Now() override { return m_qwNow; }
  qm::LocalTime LocalTimeOf(std::uint64_t qwFileTime) override {
    m_converted.push_back(qwFileTime);
    return {2026, 12, 9, 3, 10, 22, 0};
  }
  RunnerViewRead m_read = RunnerViewRead::kAbsent;
  contract::RunnerState m_state;
  std::uint64_t m_qwNow = 0;
  std::vector<std::uint32_t> m_reads;
  std::vector<std::string> m_accounts;  // "service|account" of each read
  std::vector<std::uint64_t> m_converted;
};

// A batch code page as a test scripts it: ASCII as it is, e (0xE9) at 0x82 as in code page 437,
// every other character missing.
class CFakeBatchCodePage : public IBatchCodePage {
 public:
  bool FromAnsi(std::string_view ansi, std::string* pText) override {
    pText->clear();
    for (char ch : ansi) {
      if (ch == '\xE9')
        ch = '\x82';
      else if (static_cast<unsigned char>(ch) >= 0x80)
        return false;
      pText->push_back(ch);
    }
    return true;
  }
};

// UTF-8 against an ANSI code page that holds Latin-1's letters (0xA0 to 0xFF) and nothing else
// beyond ASCII.
class CFakeUtf8CodePage : public IUtf8CodePage {
 public:
  bool FromAnsi(std::string_view ansi, std::string* pUtf8) override {
    pUtf8->clear();
    for (char ch : ansi) {
      const auto uch = static_cast<unsigned char>(ch);
      if (uch >= 0x80 && uch < 0xA0) return false;
      if (uch < 0x80) {
        pUtf8->push_back(ch);
      } else {
        pUtf8->push_back(static_cast<char>(0xC0 | uch >> 6));
        pUtf8->push_back(static_cast<char>(0x80 | (uch & 0x3F)));
      }
    }
    return true;
  }
  bool ToAnsi(std::string_view utf8, std::string* pAnsi) override {
    pAnsi->clear();
    for (std::size_t i = 0; i < utf8.size(); ++i) {
      const auto uch = static_cast<unsigned char>(utf8[i]);
      if (uch < 0x80) {
        pAnsi->push_back(utf8[i]);
        continue;
      }
      if ((uch != 0xC2 && uch != 0xC3) || i + 1 >= utf8.size()) return false;
      const auto uchNext = static_cast<unsigned char>(utf8[++i]);
      const int nCode = (uch & 0x1F) << 6 | (uchNext & 0x3F);
      if (nCode < 0xA0) return false;
      pAnsi->push_back(static_cast<char>(nCode));
    }
    return true;
  }
};

// apply's files and environment variables, as a test puts them there.
class CFakeApplyInput : public IApplyInput {
 public:
  std::uint32_t ReadFile(const std::string& strPath, std::size_t cbMax,
                         std::string* pData) override {
    auto it = m_files.find(strPath);
    if (it == m_files.end()) return 2;
    if (it->second.size() > cbMax) return kErrorFileTooLarge;
    *pData = it->second;
    return 0;
  }
  bool GetVariable(const std::string& strName, std::string* pValue) override {
    auto it = m_variables.find(strName);
    if (it == m_variables.end()) return false;
    *pValue = it->second;
    return true;
  }
  std::map<std::string, std::string> m_files;
  std::map<std::string, std::string> m_variables;
};

// Standard input and the console as a test scripts them: by default no console, and nothing
// on standard input.
class CFakePasswordInput : public IPasswordInput {
 public:
  bool ReadStandardInputLine(std::string* pLine) override {
    ++m_cStdinReads;
    if (!m_bHasStdinLine) return false;
    *pLine = m_strStdinLine;
    return true;
  }
  bool StandardInputIsConsole() override { return m_bConsole; }
  bool ReadHidden(const std::string& strPrompt, std::string* pLine) override {
    m_prompts.push_back(strPrompt);
    if (!m_bConsole) return false;
    *pLine = m_strTyped;
    return true;
  }
  bool m_bHasStdinLine = false;
  std::string m_strStdinLine;
  int m_cStdinReads = 0;
  bool m_bConsole = false;
  std::string m_strTyped;  // what is typed at a prompt
  std::vector<std::string> m_prompts;
};

class CliToolTest : public ::testing::Test {
 protected:
  int Run(const std::string& strArgs) { return Run(tool, console, strArgs); }
  static int Run(CCommandLineTool& t, CCapture& c, const std::string& strArgs) {
    c.m_strOut.clear();
    c.m_strErr.clear();
    return t.Run("quillmnt " + strArgs);
  }
  std::string Value(const std::string& strName, const std::string& strValue) {
    platform::test::FakeKey* pKey = fake.FindKey(contract::ParametersKeyPath(strName));
    if (pKey == nullptr) return "<no key>";
    auto it = pKey->values.find(strValue);
    return it == pKey->values.end() ? "<none>" : it->second.data;
  }
  // A service as the window's Install leaves it.
  void InstallOwn(const std::string& strName) {
    ASSERT_EQ(Run("install " + strName + " C:\\App\\app.exe -v"), kExitOk) << console.m_strErr;
  }
  // The manager's failure actions of a service and their flag: "86400:1/60000,0/0:flag".
  static std::string FailureActionsText(const FakeService& service) {
    const platform::FailureActions& actions = service.failureActions;
    std::string strText = std::to_string(actions.resetSeconds) + ":";
    for (std::uint32_t i = 0; i < actions.count; ++i) {
      strText += (i == 0 ? "" : ",") + std::to_string(actions.actions[i].type) + "/" +
                 std::to_string(actions.actions[i].delayMs);
    }
    return strText + (service.bFailureActionsOnErrorStops ? ":flag" : "");
  }
  // Everything a command could change, to compare before and after a refusal, or a service
  // with its copy made elsewhere.
  static std::string Snapshot(CFakePlatform& platform, const std::string& strName) {
    const FakeService* p = platform.FindService(strName);
    std::string strState = p == nullptr ? "gone"
                                        : p->strDisplayName + "|" + std::to_string(p->dwStartType) +
                                              "|" + p->strDependencies + "|" + p->strStartName +
                                              "|" + p->strDescription + "|" +
                                              std::to_string(p->bDelayedAutoStart) + "|" +
                                              p->strBinaryPath + "|" + FailureActionsText(*p);
    if (platform::test::FakeKey* pKey = platform.FindKey(contract::ParametersKeyPath(strName))) {
      for (const auto& [strValue, value] : pKey->values)
        strState += "|" + strValue + "=" + std::to_string(value.type) + ":" + value.data;
    }
    return strState;
  }
  std::string Snapshot(const std::string& strName) { return Snapshot(fake, strName); }

  CFakePlatform fake;
  CFakeRunnerView runnerView;
  CFakeBatchCodePage codePage;
  CFakeUtf8CodePage utf8;
  CFakeApplyInput applyInput;
  CFakePasswordInput passwordInput;
  CCapture console;
  CCommandLineTool tool{fake, fake,       fake,          fake,    runnerView, codePage,
                        utf8, applyInput, passwordInput, console, "9.9"};
};

}  // namespace qm::cli::test
