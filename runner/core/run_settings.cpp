#include "runner/core/run_settings.h"

#include <iterator>

namespace qm::runner {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char ca = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
    char cb = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
    if (ca != cb) return false;
  }
  return true;
}

// The index of word among words, or -1.
template <std::size_t N>
int FindWord(std::string_view word, const char* const (&words)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    if (EqualsIgnoringCase(word, words[i])) return static_cast<int>(i);
  }
  return -1;
}

template <std::size_t N>
std::string ListWords(const char* const (&words)[N]) {
  std::string strList;
  for (std::size_t i = 0; i < N; ++i) {
    if (i > 0) strList += i + 1 == N ? " or " : ", ";
    strList += words[i];
  }
  return strList;
}

template <std::size_t N>
std::string UnknownWord(const char* pszValue, std::string_view word,
                        const char* const (&words)[N]) {
  return std::string("the ") + pszValue + " value \"" + std::string(word) + "\" is not " +
         ListWords(words);
}

}  // namespace

bool ParseRestartMode(std::string_view word, RestartMode& mode) {
  // In the order of contract::kRestartWords.
  constexpr RestartMode kModes[] = {RestartMode::kOnFailure, RestartMode::kAlways,
                                    RestartMode::kNever};
  static_assert(std::size(kModes) == std::size(contract::kRestartWords));
  int nIndex = FindWord(word, contract::kRestartWords);
  if (nIndex < 0) return false;
  mode = kModes[nIndex];
  return true;
}

bool ParsePriority(std::string_view word, ProcessPriority& priority) {
  constexpr ProcessPriority kPriorities[] = {ProcessPriority::kIdle, ProcessPriority::kBelowNormal,
                                             ProcessPriority::kNormal,
                                             ProcessPriority::kAboveNormal, ProcessPriority::kHigh};
  static_assert(std::size(kPriorities) == std::size(contract::kPriorityWords));
  int nIndex = FindWord(word, contract::kPriorityWords);
  if (nIndex < 0) return false;
  priority = kPriorities[nIndex];
  return true;
}

bool MakeRunSettings(const RunSettingValues& values, RunSettings& settings,
                     std::string& strProblem) {
  namespace value = contract::value;
  if (!ParseRestartMode(values.strRestart, settings.restart.mode)) {
    strProblem = UnknownWord(value::kRestart, values.strRestart, contract::kRestartWords);
    return false;
  }
  // A zero delay never doubles: the program would be started again and again without pause.
  if (values.dwRestartDelayMs == 0) {
    strProblem = "the RestartDelay value is 0; it must be at least 1 (milliseconds)";
    return false;
  }
  if (values.dwRestartDelayMaxMs < values.dwRestartDelayMs) {
    strProblem = "the RestartDelayMax value " + std::to_string(values.dwRestartDelayMaxMs) +
                 " is smaller than the RestartDelay value " +
                 std::to_string(values.dwRestartDelayMs);
    return false;
  }
  settings.restart.dwDelayMs = values.dwRestartDelayMs;
  settings.restart.dwDelayMaxMs = values.dwRestartDelayMaxMs;
  settings.restart.dwLimit = values.dwRestartLimit;

  for (const std::string& strEntry : values.environment) {
    // An empty name would be one of the system's hidden per-drive entries, or nothing at all.
    std::size_t equals = strEntry.find('=');
    if (equals == std::string::npos || equals == 0) {
      strProblem = "the Environment value's entry \"" + strEntry + "\" is not NAME=value";
      return false;
    }
  }

  if (!ParsePriority(values.strPriority, settings.priority)) {
    strProblem = UnknownWord(value::kPriority, values.strPriority, contract::kPriorityWords);
    return false;
  }
  return true;
}

}  // namespace qm::runner
