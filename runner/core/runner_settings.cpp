#include "runner/core/runner_settings.h"

#include <cstring>
#include <iterator>
#include <string_view>
#include <tuple>
#include <variant>

#include "runner/core/command_line.h"
#include "runner/core/probe_target.h"

namespace qm::runner {

namespace {

namespace value = contract::value;
using contract::RunnerValue;
using contract::ValueType;

using Field = std::variant<std::string RunnerSettings::*, std::uint32_t RunnerSettings::*,
                           std::vector<std::string> RunnerSettings::*>;
struct Binding {
  const char* pszName;
  Field field;
};

// The field of each row of the contract's table, in the table's order.
constexpr Binding kBindings[] = {
    {value::kInstaller, &RunnerSettings::strInstaller},
    {value::kArguments, &RunnerSettings::strArguments},
    {value::kRunfile, &RunnerSettings::strRunfile},
    {value::kDirectory, &RunnerSettings::strDirectory},
    {value::kStopTimeout, &RunnerSettings::dwStopTimeoutMs},
    {value::kStdout, &RunnerSettings::strStdout},
    {value::kStderr, &RunnerSettings::strStderr},
    {value::kRestart, &RunnerSettings::strRestart},
    {value::kRestartDelay, &RunnerSettings::dwRestartDelayMs},
    {value::kRestartDelayMax, &RunnerSettings::dwRestartDelayMaxMs},
    {value::kRestartLimit, &RunnerSettings::dwRestartLimit},
    {value::kEnvironment, &RunnerSettings::environment},
    {value::kPriority, &RunnerSettings::strPriority},
    {value::kRotateBytes, &RunnerSettings::dwRotateBytes},
    {value::kRotateDaily, &RunnerSettings::dwRotateDaily},
    {value::kRotateKeep, &RunnerSettings::dwRotateKeep},
    {value::kTimestamps, &RunnerSettings::dwTimestamps},
    {value::kReadyCheck, &RunnerSettings::strReadyCheck},
    {value::kReadyTimeout, &RunnerSettings::dwReadyTimeoutMs},
    {value::kReadyInterval, &RunnerSettings::dwReadyIntervalMs},
    {value::kHealthCheck, &RunnerSettings::strHealthCheck},
    {value::kHealthInterval, &RunnerSettings::dwHealthIntervalMs},
    {value::kHealthTimeout, &RunnerSettings::dwHealthTimeoutMs},
    {value::kHealthRetries, &RunnerSettings::dwHealthRetries},
};

constexpr bool BindingsFollowTheTable() {
  if (std::size(kBindings) != contract::kRunnerValueCount) return false;
  for (std::size_t i = 0; i < std::size(kBindings); ++i) {
    const RunnerValue& row = contract::kRunnerValues[i];
    if (std::string_view(kBindings[i].pszName) != row.pszName) return false;
    const std::size_t nExpected = row.type == ValueType::kString  ? 0
                                  : row.type == ValueType::kDword ? 1
                                                                  : 2;
    if (kBindings[i].field.index() != nExpected) return false;
  }
  return true;
}
static_assert(BindingsFollowTheTable(), "one field of the right type for each row, in order");

std::size_t IndexOf(const RunnerValue& row) {
  return static_cast<std::size_t>(&row - contract::kRunnerValues);
}

const Field& FieldOf(const RunnerValue& row) {
  return kBindings[IndexOf(row)].field;
}

// A string value's text: up to its first NUL, or all of it when it was stored without one.
std::string TextOf(const std::string& data) {
  return data.substr(0, data.find('\0'));
}

// A list's entries up to the first empty one or the data's end, so a value stored without its
// closing NULs reads as its bytes.
std::vector<std::string> EntriesOf(const std::string& data) {
  std::vector<std::string> entries;
  std::size_t nAt = 0;
  while (nAt < data.size() && data[nAt] != '\0') {
    const std::size_t nEnd = std::min(data.find('\0', nAt), data.size());
    entries.push_back(data.substr(nAt, nEnd - nAt));
    nAt = nEnd + 1;
  }
  return entries;
}

void SetDefault(const RunnerValue& row, RunnerSettings* pSettings) {
  std::visit(
      [&](auto pField) {
        using T = std::remove_reference_t<decltype(pSettings->*pField)>;
        if constexpr (std::is_same_v<T, std::uint32_t>) {
          pSettings->*pField = row.dwDefault;
        } else if constexpr (std::is_same_v<T, std::string>) {
          pSettings->*pField = row.pszDefault != nullptr ? row.pszDefault : "";
        } else {
          (pSettings->*pField).clear();
        }
      },
      FieldOf(row));
}

// The stored bytes as the row's type; false when the type is not the row's.
bool Decode(const RunnerValue& row, const StoredValue& stored, RunnerSettings* pSettings) {
  switch (row.type) {
    case ValueType::kString:
      if (stored.dwType != kRegSz && stored.dwType != kRegExpandSz) return false;
      pSettings->*std::get<std::string RunnerSettings::*>(FieldOf(row)) = TextOf(stored.data);
      return true;
    case ValueType::kDword: {
      if (stored.dwType != kRegDword || stored.data.size() != sizeof(std::uint32_t)) return false;
      std::uint32_t dwValue = 0;
      std::memcpy(&dwValue, stored.data.data(), sizeof(dwValue));
      pSettings->*std::get<std::uint32_t RunnerSettings::*>(FieldOf(row)) = dwValue;
      return true;
    }
    case ValueType::kMultiString:
      if (stored.dwType != kRegMultiSz) return false;
      pSettings->*std::get<std::vector<std::string> RunnerSettings::*>(FieldOf(row)) =
          EntriesOf(stored.data);
      return true;
  }
  return false;
}

bool Refuse(RunnerFailure* pFailure, const RunnerValue& row, std::string strWhy) {
  *pFailure = {FailureKind::kValueRefused, "", row.pszName, std::move(strWhy), 0};
  return false;
}

std::string ListWords(const contract::WordList& words) {
  std::string strList;
  for (std::size_t i = 0; i < words.cWords; ++i) {
    if (i > 0) strList += i + 1 == words.cWords ? " or " : ", ";
    strList += words.ppszWords[i];
  }
  return strList;
}

// The index of word among a row's words, or -1.
int WordIndex(const contract::WordList& words, std::string_view word) {
  for (std::size_t i = 0; i < words.cWords; ++i) {
    if (EqualsIgnoringCase(word, words.ppszWords[i])) return static_cast<int>(i);
  }
  return -1;
}

// The limits and words every row states for itself.
bool CheckRow(const RunnerSettings& settings, const RunnerValue& row, RunnerFailure* pFailure) {
  const std::string strName = row.pszName;
  if (row.type == ValueType::kDword) {
    const std::uint32_t dwValue = settings.*std::get<std::uint32_t RunnerSettings::*>(FieldOf(row));
    if (dwValue < row.dwMin) {
      return Refuse(pFailure, row,
                    "the " + strName + " value is " + std::to_string(dwValue) +
                        "; it must be at least " + std::to_string(row.dwMin));
    }
    if (dwValue > row.dwMax) {
      return Refuse(pFailure, row,
                    "the " + strName + " value " + std::to_string(dwValue) + " is above " +
                        std::to_string(row.dwMax));
    }
  }
  if (row.words.cWords != 0) {
    const std::string& strWord = settings.*std::get<std::string RunnerSettings::*>(FieldOf(row));
    if (WordIndex(row.words, strWord) < 0) {
      return Refuse(pFailure, row,
                    "the " + strName + " value \"" + strWord + "\" is not " + ListWords(row.words));
    }
  }
  return true;
}

const RunnerValue& Row(const char* pszName) {
  return *contract::FindRunnerValue(pszName);
}

}  // namespace

RunnerSettings::RunnerSettings() {
  for (const RunnerValue& row : contract::kRunnerValues) SetDefault(row, this);
}

bool ReadRunnerValue(IValueSource& source, const RunnerValue& row, RunnerSettings* pSettings,
                     RunnerFailure* pFailure) {
  StoredValue stored;
  std::uint32_t dwError = source.Read(row.pszName, &stored);
  if (dwError == 0 && stored.data.size() > contract::kMaxValueBytes) dwError = kErrorMoreData;
  if (dwError == 0 && !Decode(row, stored, pSettings)) dwError = kErrorDatatypeMismatch;
  if (dwError == kErrorFileNotFound && !row.bRequired) {
    SetDefault(row, pSettings);
    pSettings->stored.reset(IndexOf(row));
    return true;
  }
  if (dwError != 0) {
    *pFailure = {FailureKind::kValueUnreadable, "", row.pszName, "", dwError};
    return false;
  }
  pSettings->stored.set(IndexOf(row));
  return true;
}

bool ReadRunnerSettings(IValueSource& source, RunnerSettings* pSettings, RunnerFailure* pFailure) {
  // The values the runner cannot start without first, so that a key the tool left half
  // written is named by them.
  for (bool bRequired : {true, false}) {
    for (const RunnerValue& row : contract::kRunnerValues) {
      if (row.bRequired == bRequired && !ReadRunnerValue(source, row, pSettings, pFailure)) {
        return false;
      }
    }
  }
  return true;
}

bool CheckRunnerSettings(const RunnerSettings& settings, RunnerFailure* pFailure) {
  const RunnerValue& runfile = Row(value::kRunfile);
  if (UnquotedRunfile(settings.strRunfile).find_first_not_of(" \t") == std::string_view::npos) {
    return Refuse(pFailure, runfile, "the Runfile value is empty");
  }
  // It would end a quoted file name early and smuggle the rest in as arguments.
  if (contract::RunfileHasQuoteInName(settings.strRunfile)) {
    return Refuse(pFailure, runfile, "the Runfile value holds a quote inside the file name");
  }
  if (ComposeCommandLine(settings.strRunfile, settings.strArguments).size() >= kMaxCommandLine) {
    return Refuse(pFailure, Row(value::kArguments),
                  "the Runfile and Arguments values are longer than a command line may be");
  }
  for (const RunnerValue& row : contract::kRunnerValues) {
    if (!CheckRow(settings, row, pFailure)) return false;
  }
  if (settings.dwRestartDelayMaxMs < settings.dwRestartDelayMs) {
    return Refuse(pFailure, Row(value::kRestartDelayMax),
                  "the RestartDelayMax value " + std::to_string(settings.dwRestartDelayMaxMs) +
                      " is smaller than the RestartDelay value " +
                      std::to_string(settings.dwRestartDelayMs));
  }
  // The checks' syntax: a check the runner cannot make would leave the service starting until
  // ReadyTimeout, or restart a healthy program.
  for (const auto& [pszName, pText, bHealth] :
       {std::tuple{value::kReadyCheck, &settings.strReadyCheck, false},
        std::tuple{value::kHealthCheck, &settings.strHealthCheck, true}}) {
    ProbeTarget target;
    std::string strWhy;
    if (!ParseProbeTarget(*pText, bHealth, &target, &strWhy)) {
      return Refuse(pFailure, Row(pszName),
                    std::string("the ") + pszName + " value \"" + *pText + "\" " + strWhy);
    }
  }
  for (const std::string& strEntry : settings.environment) {
    // An empty name would be one of the system's hidden per-drive entries, or nothing at all.
    const std::size_t nEquals = strEntry.find('=');
    if (nEquals == std::string::npos || nEquals == 0) {
      return Refuse(pFailure, Row(value::kEnvironment),
                    "the Environment value's entry \"" + strEntry + "\" is not NAME=value");
    }
  }
  return true;
}

std::string RunnerValueText(const RunnerSettings& settings, const RunnerValue& row) {
  return std::visit(
      [&](auto pField) -> std::string {
        const auto& field = settings.*pField;
        using T = std::remove_cv_t<std::remove_reference_t<decltype(field)>>;
        if constexpr (std::is_same_v<T, std::uint32_t>) {
          return std::to_string(field);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return field;
        } else {
          std::string strText;
          for (const std::string& strEntry : field) {
            if (!strText.empty()) strText += '\n';
            strText += strEntry;
          }
          return strText;
        }
      },
      FieldOf(row));
}

const std::vector<std::string>* RunnerValueEntries(const RunnerSettings& settings,
                                                   const RunnerValue& row) {
  const auto* pField = std::get_if<std::vector<std::string> RunnerSettings::*>(&FieldOf(row));
  return pField != nullptr ? &(settings.**pField) : nullptr;
}

bool IsStored(const RunnerSettings& settings, const RunnerValue& row) {
  return settings.stored.test(IndexOf(row));
}

RestartSettings RestartOf(const RunnerSettings& settings) {
  // In the order of contract::kRestartWords.
  constexpr RestartMode kModes[] = {RestartMode::kOnFailure, RestartMode::kAlways,
                                    RestartMode::kNever};
  static_assert(std::size(kModes) == std::size(contract::kRestartWords));
  const int nIndex = WordIndex(contract::kRestartWords, settings.strRestart);
  RestartSettings restart;
  restart.mode = nIndex >= 0 ? kModes[nIndex] : RestartMode::kOnFailure;
  restart.dwDelayMs = settings.dwRestartDelayMs;
  restart.dwDelayMaxMs = settings.dwRestartDelayMaxMs;
  restart.dwLimit = settings.dwRestartLimit;
  return restart;
}

ProcessPriority PriorityOf(const RunnerSettings& settings) {
  constexpr ProcessPriority kPriorities[] = {ProcessPriority::kIdle, ProcessPriority::kBelowNormal,
                                             ProcessPriority::kNormal,
                                             ProcessPriority::kAboveNormal, ProcessPriority::kHigh};
  static_assert(std::size(kPriorities) == std::size(contract::kPriorityWords));
  const int nIndex = WordIndex(contract::kPriorityWords, settings.strPriority);
  return nIndex >= 0 ? kPriorities[nIndex] : ProcessPriority::kNormal;
}

OutputSettings OutputOf(const RunnerSettings& settings) {
  OutputSettings output;
  output.dwRotateBytes = settings.dwRotateBytes;
  output.bRotateDaily = settings.dwRotateDaily != 0;
  output.dwRotateKeep = settings.dwRotateKeep;
  output.bTimestamps = settings.dwTimestamps != 0;
  return output;
}

}  // namespace qm::runner

namespace qm::runner {

CheckSettings ChecksOf(const RunnerSettings& settings) {
  CheckSettings checks;
  std::string strWhy;
  // Checked settings parse; a check that would not is none.
  if (!ParseProbeTarget(settings.strReadyCheck, false, &checks.ready, &strWhy)) checks.ready = {};
  if (!ParseProbeTarget(settings.strHealthCheck, true, &checks.health, &strWhy)) checks.health = {};
  checks.dwReadyTimeoutMs = settings.dwReadyTimeoutMs;
  checks.dwReadyIntervalMs = settings.dwReadyIntervalMs;
  checks.dwHealthIntervalMs = settings.dwHealthIntervalMs;
  checks.dwProbeTimeoutMs = settings.dwHealthTimeoutMs;
  checks.dwHealthRetries = settings.dwHealthRetries;
  return checks;
}

}  // namespace qm::runner
