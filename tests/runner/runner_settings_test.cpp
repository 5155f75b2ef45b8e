// The one reader and the one check of a service's Parameters key, over a scripted key.
#include "runner/core/runner_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace qm::runner {
namespace {

namespace value = contract::value;

// A Parameters key as a map; a value may also be made unreadable.
class CFakeKey : public IValueSource {
 public:
  std::uint32_t Read(const char* pszName, StoredValue* pValue) override {
    auto error = m_errors.find(pszName);
    if (error != m_errors.end()) return error->second;
    auto it = m_values.find(pszName);
    if (it == m_values.end()) return kErrorFileNotFound;
    *pValue = it->second;
    return 0;
  }
  void Text(const char* pszName, std::string strText, std::uint32_t dwType = kRegSz) {
    m_values[pszName] = {dwType, strText + '\0'};
  }
  void Dword(const char* pszName, std::uint32_t dwValue) {
    std::string data(4, '\0');
    std::memcpy(data.data(), &dwValue, 4);
    m_values[pszName] = {kRegDword, data};
  }
  std::map<std::string, StoredValue> m_values;
  std::map<std::string, std::uint32_t> m_errors;
};

// What the window's Install writes.
CFakeKey InstalledKey() {
  CFakeKey key;
  key.Text(value::kInstaller, "quillmnt");
  key.Text(value::kArguments, "-a \"b c\"");
  key.Text(value::kRunfile, "C:\\Program Files\\App\\app.exe");
  key.Text(value::kDirectory, "");
  return key;
}

TEST(RunnerSettings, AKeyAsInstalledReadsWithEveryDefault) {
  CFakeKey key = InstalledKey();
  RunnerSettings settings;
  RunnerFailure failure;
  ASSERT_TRUE(ReadRunnerSettings(key, &settings, &failure)) << failure.strSubject;
  EXPECT_TRUE(CheckRunnerSettings(settings, &failure)) << failure.strDetail;
  EXPECT_EQ(settings.strRunfile, "C:\\Program Files\\App\\app.exe");
  EXPECT_EQ(settings.strArguments, "-a \"b c\"");
  // The defaults every service installed before a value existed relies on.
  EXPECT_EQ(settings.dwStopTimeoutMs, 15000u);
  EXPECT_EQ(settings.strRestart, "OnFailure");
  EXPECT_EQ(settings.dwRestartDelayMs, 1000u);
  EXPECT_EQ(settings.dwRestartDelayMaxMs, 60000u);
  EXPECT_EQ(settings.strPriority, "Normal");
  EXPECT_EQ(settings.dwRotateKeep, 10u);
  const CheckSettings checks = ChecksOf(settings);
  EXPECT_EQ(checks.ready.kind, ProbeKind::kNone);  // ready once it runs, as always
  EXPECT_EQ(checks.health.kind, ProbeKind::kNone);
  EXPECT_EQ(checks.dwReadyTimeoutMs, 60000u);
  EXPECT_EQ(checks.dwReadyIntervalMs, 250u);
  EXPECT_EQ(checks.dwHealthIntervalMs, 30000u);
  EXPECT_EQ(checks.dwProbeTimeoutMs, 5000u);
  EXPECT_EQ(checks.dwHealthRetries, 3u);
  EXPECT_TRUE(IsStored(settings, *contract::FindRunnerValue(value::kRunfile)));
  EXPECT_FALSE(IsStored(settings, *contract::FindRunnerValue(value::kStopTimeout)));
  EXPECT_EQ(RestartOf(settings).mode, RestartMode::kOnFailure);
  EXPECT_EQ(PriorityOf(settings), ProcessPriority::kNormal);
}

// Each value of the table lands in its own field and reads back as stored: a field bound to
// the wrong row would give another value's text.
TEST(RunnerSettings, EveryValueReachesItsOwnField) {
  CFakeKey key;
  std::map<std::string, std::string> expected;
  std::uint32_t dwNext = 100;
  for (const contract::RunnerValue& row : contract::kRunnerValues) {
    switch (row.type) {
      case contract::ValueType::kString:
        key.Text(row.pszName, std::string("text of ") + row.pszName);
        expected[row.pszName] = std::string("text of ") + row.pszName;
        break;
      case contract::ValueType::kDword:
        key.Dword(row.pszName, ++dwNext);
        expected[row.pszName] = std::to_string(dwNext);
        break;
      case contract::ValueType::kMultiString:
        key.m_values[row.pszName] = {kRegMultiSz, std::string("A=1\0B=2\0\0", 9)};
        expected[row.pszName] = "A=1\nB=2";
        break;
    }
  }
  RunnerSettings settings;
  RunnerFailure failure;
  ASSERT_TRUE(ReadRunnerSettings(key, &settings, &failure)) << failure.strSubject;
  for (const contract::RunnerValue& row : contract::kRunnerValues) {
    EXPECT_EQ(RunnerValueText(settings, row), expected[row.pszName]) << row.pszName;
    EXPECT_TRUE(IsStored(settings, row)) << row.pszName;
  }
  // The fields the runner's parts use, by name: two of one type swapped would still read back.
  const std::pair<const char*, std::string> kFields[] = {
      {value::kArguments, settings.strArguments},
      {value::kRunfile, settings.strRunfile},
      {value::kDirectory, settings.strDirectory},
      {value::kStopTimeout, std::to_string(settings.dwStopTimeoutMs)},
      {value::kStdout, settings.strStdout},
      {value::kStderr, settings.strStderr},
      {value::kRestart, settings.strRestart},
      {value::kRestartDelay, std::to_string(settings.dwRestartDelayMs)},
      {value::kRestartDelayMax, std::to_string(settings.dwRestartDelayMaxMs)},
      {value::kRestartLimit, std::to_string(settings.dwRestartLimit)},
      {value::kPriority, settings.strPriority},
      {value::kRotateBytes, std::to_string(settings.dwRotateBytes)},
      {value::kRotateDaily, std::to_string(settings.dwRotateDaily)},
      {value::kRotateKeep, std::to_string(settings.dwRotateKeep)},
      {value::kTimestamps, std::to_string(settings.dwTimestamps)},
      {value::kReadyCheck, settings.strReadyCheck},
      {value::kReadyTimeout, std::to_string(settings.dwReadyTimeoutMs)},
      {value::kReadyInterval, std::to_string(settings.dwReadyIntervalMs)},
      {value::kHealthCheck, settings.strHealthCheck},
      {value::kHealthInterval, std::to_string(settings.dwHealthIntervalMs)},
      {value::kHealthTimeout, std::to_string(settings.dwHealthTimeoutMs)},
      {value::kHealthRetries, std::to_string(settings.dwHealthRetries)},
  };
  for (const auto& [pszName, strField] : kFields) EXPECT_EQ(strField, expected[pszName]) << pszName;
}

TEST(RunnerSettings, AValueThatCannotBeUsedAsStoredIsNamed) {
  const struct {
    const char* pszCase;
    void (*change)(CFakeKey&);
    const char* pszValue;
    std::uint32_t dwError;
  } kCases[] = {
      {"a required value missing", [](CFakeKey& k) { k.m_values.erase(value::kDirectory); },
       value::kDirectory, kErrorFileNotFound},
      {"a text as a number", [](CFakeKey& k) { k.Text(value::kStopTimeout, "15000"); },
       value::kStopTimeout, kErrorDatatypeMismatch},
      {"a number of three bytes",
       [](CFakeKey& k) {
         k.m_values[value::kRotateBytes] = {kRegDword, std::string(3, '\1')};
       },
       value::kRotateBytes, kErrorDatatypeMismatch},
      {"a list as a text", [](CFakeKey& k) { k.Text(value::kEnvironment, "A=1"); },
       value::kEnvironment, kErrorDatatypeMismatch},
      {"a text as binary", [](CFakeKey& k) { k.Text(value::kRunfile, "C:\\a.exe", 3); },
       value::kRunfile, kErrorDatatypeMismatch},
      {"longer than the runner reads",
       [](CFakeKey& k) { k.Text(value::kStdout, std::string(contract::kMaxValueBytes, 'x')); },
       value::kStdout, kErrorMoreData},
      {"the source cannot read it", [](CFakeKey& k) { k.m_errors[value::kPriority] = 5; },
       value::kPriority, 5},
  };
  for (const auto& c : kCases) {
    CFakeKey key = InstalledKey();
    c.change(key);
    RunnerSettings settings;
    RunnerFailure failure;
    EXPECT_FALSE(ReadRunnerSettings(key, &settings, &failure)) << c.pszCase;
    EXPECT_EQ(failure.kind, FailureKind::kValueUnreadable) << c.pszCase;
    EXPECT_EQ(failure.strSubject, c.pszValue) << c.pszCase;
    EXPECT_EQ(failure.dwError, c.dwError) << c.pszCase;
  }
}

TEST(RunnerSettings, ValuesStoredWithoutTheirClosingNulsReadWhole) {
  CFakeKey key = InstalledKey();
  key.m_values[value::kRunfile] = {kRegExpandSz, "C:\\a.exe"};
  key.m_values[value::kEnvironment] = {kRegMultiSz, std::string("A=1\0B=2", 7)};
  RunnerSettings settings;
  RunnerFailure failure;
  ASSERT_TRUE(ReadRunnerSettings(key, &settings, &failure));
  EXPECT_EQ(settings.strRunfile, "C:\\a.exe");
  EXPECT_EQ(settings.environment, (std::vector<std::string>{"A=1", "B=2"}));
}

TEST(RunnerSettings, TheCheckNamesTheFirstValueTheRunnerWouldRefuse) {
  const struct {
    void (*change)(RunnerSettings&);
    const char* pszValue;  // nullptr: accepted
    const char* pszWhy;    // a part of the description
  } kCases[] = {
      {[](RunnerSettings& s) { s.strRunfile = "  \t"; }, value::kRunfile, "is empty"},
      {[](RunnerSettings& s) { s.strRunfile = "\"\""; }, value::kRunfile, "is empty"},
      {[](RunnerSettings& s) { s.strRunfile = "\"C:\\Program Files\\a.exe\""; }, nullptr, ""},
      {[](RunnerSettings& s) { s.strRunfile = "C:\\a\" b.exe"; }, value::kRunfile, "a quote"},
      {[](RunnerSettings& s) {
         s.strRunfile = "C:\\a.exe";
         s.strArguments = std::string(kMaxCommandLine - 10, 'x');
       },
       nullptr, ""},
      {[](RunnerSettings& s) {
         s.strRunfile = "C:\\a.exe";
         s.strArguments = std::string(kMaxCommandLine - 9, 'x');
       },
       value::kArguments, "longer than a command line"},
      {[](RunnerSettings& s) { s.dwStopTimeoutMs = 600000; }, nullptr, ""},
      {[](RunnerSettings& s) { s.dwStopTimeoutMs = 600001; }, value::kStopTimeout,
       "600001 is above 600000"},
      {[](RunnerSettings& s) { s.strRestart = "never"; }, nullptr, ""},
      {[](RunnerSettings& s) { s.strRestart = "Sometimes"; }, value::kRestart,
       "\"Sometimes\" is not OnFailure, Always or Never"},
      {[](RunnerSettings& s) { s.strPriority = "BELOWNORMAL"; }, nullptr, ""},
      {[](RunnerSettings& s) { s.strPriority = "Normal "; }, value::kPriority,
       "is not Idle, BelowNormal, Normal, AboveNormal or High"},
      {[](RunnerSettings& s) { s.dwRestartDelayMs = 0; }, value::kRestartDelay,
       "is 0; it must be at least 1"},
      {[](RunnerSettings& s) { s.dwRestartDelayMaxMs = 500; }, value::kRestartDelayMax,
       "500 is smaller than the RestartDelay value 1000"},
      {[](RunnerSettings& s) {
         s.environment = {"A=1", "NOEQUALS"};
       },
       value::kEnvironment, "entry \"NOEQUALS\""},
      {[](RunnerSettings& s) { s.environment = {"=C:=C:\\"}; }, value::kEnvironment,
       "entry \"=C:=C:\\\""},
      {[](RunnerSettings& s) { s.environment = {"A="}; }, nullptr, ""},
      {[](RunnerSettings& s) { s.strReadyCheck = "tcp:0"; }, value::kReadyCheck,
       "the ReadyCheck value \"tcp:0\" names port 0"},
      {[](RunnerSettings& s) { s.strReadyCheck = "exec:check.cmd"; }, value::kReadyCheck,
       "is not tcp:"},
      {[](RunnerSettings& s) { s.strHealthCheck = "exec:check.cmd"; }, nullptr, ""},
      {[](RunnerSettings& s) { s.strHealthCheck = "file:"; }, value::kHealthCheck,
       "the HealthCheck value \"file:\" names no file"},
      {[](RunnerSettings& s) { s.dwReadyTimeoutMs = 0; }, value::kReadyTimeout, "at least 1"},
      {[](RunnerSettings& s) { s.dwReadyTimeoutMs = 600001; }, value::kReadyTimeout,
       "above 600000"},
      {[](RunnerSettings& s) { s.dwReadyIntervalMs = 49; }, value::kReadyInterval, "at least 50"},
      {[](RunnerSettings& s) { s.dwHealthRetries = 0; }, value::kHealthRetries, "at least 1"},
  };
  for (const auto& c : kCases) {
    RunnerSettings settings;
    settings.strRunfile = "C:\\a.exe";
    c.change(settings);
    RunnerFailure failure;
    const bool bAccepted = CheckRunnerSettings(settings, &failure);
    EXPECT_EQ(bAccepted, c.pszValue == nullptr) << c.pszWhy << " " << failure.strDetail;
    if (bAccepted || c.pszValue == nullptr) continue;
    EXPECT_EQ(failure.kind, FailureKind::kValueRefused);
    EXPECT_EQ(failure.strSubject, c.pszValue);
    EXPECT_NE(failure.strDetail.find(c.pszWhy), std::string::npos) << failure.strDetail;
  }
}

}  // namespace
}  // namespace qm::runner
