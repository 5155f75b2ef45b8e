#pragma once
// Every value of a service's Parameters key, read by one parser from a source of stored values
// (the registry for the runner, the command line's view of the key for set and get) and
// judged by one check. The values, their types, defaults, limits and words are the contract's
// table (contract/runner_contract.h); a field here stands for each row.

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "contract/runner_contract.h"
#include "runner/core/output_settings.h"
#include "runner/core/restart_policy.h"
#include "runner/core/run_checks.h"
#include "runner/core/runner_failure.h"

namespace qm::runner {

// The system's limit for a process command line, in characters including the NUL.
constexpr std::size_t kMaxCommandLine = 32767;

// The settings as stored, defaults where a value is absent. After CheckRunnerSettings has
// passed, every word is one of its value's words and every number within its limits.
struct RunnerSettings {
  std::string strInstaller;
  std::string strArguments;
  std::string strRunfile;
  std::string strDirectory;
  std::uint32_t dwStopTimeoutMs = 0;
  std::string strStdout;  // empty: output discarded
  std::string strStderr;
  std::string strRestart;
  std::uint32_t dwRestartDelayMs = 0;
  std::uint32_t dwRestartDelayMaxMs = 0;
  std::uint32_t dwRestartLimit = 0;
  std::vector<std::string> environment;  // the entries, in order
  std::string strPriority;
  std::uint32_t dwRotateBytes = 0;
  std::uint32_t dwRotateDaily = 0;
  std::uint32_t dwRotateKeep = 0;
  std::uint32_t dwTimestamps = 0;
  std::string strReadyCheck;  // empty: none
  std::uint32_t dwReadyTimeoutMs = 0;
  std::uint32_t dwReadyIntervalMs = 0;
  std::string strHealthCheck;  // empty: none
  std::uint32_t dwHealthIntervalMs = 0;
  std::uint32_t dwHealthTimeoutMs = 0;
  std::uint32_t dwHealthRetries = 0;
  // Which values the source holds, by their place in contract::kRunnerValues.
  std::bitset<contract::kRunnerValueCount> stored;

  // Every value at its default, the required ones empty.
  RunnerSettings();
};

// One stored value: its registry type and its bytes as stored.
struct StoredValue {
  std::uint32_t dwType = 0;
  std::string data;
};

// Where the parser reads from. Read answers 0 with the value, 2 (ERROR_FILE_NOT_FOUND) when it
// is not there, or the system's error; a source never hands over more than
// contract::kMaxValueBytes (ERROR_MORE_DATA instead). The runner's source expands a
// REG_EXPAND_SZ value and hands it over as REG_SZ.
class IValueSource {
 public:
  virtual ~IValueSource() = default;
  virtual std::uint32_t Read(const char* pszName, StoredValue* pValue) = 0;
};

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorMoreData = 234;
constexpr std::uint32_t kErrorDatatypeMismatch = 1629;

// Reads every value of the table. False at the first value that is missing although required,
// of the wrong type or unreadable (kValueUnreadable, naming it).
bool ReadRunnerSettings(IValueSource& source, RunnerSettings* pSettings, RunnerFailure* pFailure);

// Reads one value of the table into its field, as ReadRunnerSettings does.
bool ReadRunnerValue(IValueSource& source, const contract::RunnerValue& value,
                     RunnerSettings* pSettings, RunnerFailure* pFailure);

// The first value the runner would refuse to start with (kValueRefused, naming it and saying
// why), or true when there is none. Nothing is guessed: a word it does not know, a number out
// of its limits or an entry it cannot place stops the start.
bool CheckRunnerSettings(const RunnerSettings& settings, RunnerFailure* pFailure);

// A value's setting as text: a number in decimal, a list's entries one a line.
std::string RunnerValueText(const RunnerSettings& settings, const contract::RunnerValue& value);
// A list value's entries (empty for any other value).
const std::vector<std::string>* RunnerValueEntries(const RunnerSettings& settings,
                                                   const contract::RunnerValue& value);
// Whether the source held the value.
bool IsStored(const RunnerSettings& settings, const contract::RunnerValue& value);

// What checked settings mean to the runner's parts.
enum class ProcessPriority { kIdle, kBelowNormal, kNormal, kAboveNormal, kHigh };
RestartSettings RestartOf(const RunnerSettings& settings);
ProcessPriority PriorityOf(const RunnerSettings& settings);
OutputSettings OutputOf(const RunnerSettings& settings);
// The checks (a check the settings do not hold is kNone).
CheckSettings ChecksOf(const RunnerSettings& settings);

}  // namespace qm::runner
