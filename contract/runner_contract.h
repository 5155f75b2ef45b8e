#pragma once
// The contract between the tool and its runner: where a service's run settings live and every
// value the runner reads there, with its type and default. The tool writes some of them, the
// runner reads all of them, and the command line edits them; all three take the names from here.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

#include "common/ascii_case.h"

namespace qm::contract {

inline constexpr const char* kServicesKeyPath = "SYSTEM\\CurrentControlSet\\Services";
// Relative to HKEY_LOCAL_MACHINE; %s is the service name.
inline constexpr const char* kParametersKeyFormat =
    "SYSTEM\\CurrentControlSet\\Services\\%s\\Parameters";
// The class string the tool gives the Parameters key when it creates it.
inline constexpr const char* kParametersKeyClass = "LocalSystem";
// The Installer value this tool writes.
inline constexpr const char* kInstallerMarker = "quillmnt";
// The Installer value an older installer wrote; Remove (and the command line) take a service
// that carries it, in any letter case, as one of ours just as they take kInstallerMarker.
inline constexpr const char* kForeignInstallerMarker = "Bramble";
// The runner's file name, beside the tool, and the event-log source it reports under.
inline constexpr const char* kRunnerFileName = "carrack.exe";
inline constexpr const char* kEventSource = "carrack";
// Where the event source is registered (relative to HKEY_LOCAL_MACHINE).
inline constexpr const char* kEventSourceKeyPath =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\carrack";

inline std::string ParametersKeyPath(std::string_view serviceName) {
  std::string strPath = kServicesKeyPath;
  strPath += '\\';
  strPath += serviceName;
  strPath += "\\Parameters";
  return strPath;
}

// Whether the runner refuses a Runfile for a quote inside its file name (it cannot be passed on
// a command line); one pair of quotes around the whole value is allowed. The tool refuses such
// an Executable at install rather than create a service that can never start.
inline bool RunfileHasQuoteInName(std::string_view runfile) {
  if (runfile.size() >= 2 && runfile.front() == '"' && runfile.back() == '"') {
    runfile = runfile.substr(1, runfile.size() - 2);
  }
  return runfile.find('"') != std::string_view::npos;
}

// Value names under the Parameters key.
namespace value {
inline constexpr const char* kInstaller = "Installer";
inline constexpr const char* kRunfile = "Runfile";
inline constexpr const char* kArguments = "Arguments";
inline constexpr const char* kDirectory = "Directory";
inline constexpr const char* kStopTimeout = "StopTimeout";
inline constexpr const char* kStdout = "Stdout";
inline constexpr const char* kStderr = "Stderr";
inline constexpr const char* kRestart = "Restart";
inline constexpr const char* kRestartDelay = "RestartDelay";
inline constexpr const char* kRestartDelayMax = "RestartDelayMax";
inline constexpr const char* kRestartLimit = "RestartLimit";
inline constexpr const char* kEnvironment = "Environment";
inline constexpr const char* kPriority = "Priority";
inline constexpr const char* kRotateBytes = "RotateBytes";
inline constexpr const char* kRotateDaily = "RotateDaily";
inline constexpr const char* kRotateKeep = "RotateKeep";
inline constexpr const char* kTimestamps = "Timestamps";
inline constexpr const char* kReadyCheck = "ReadyCheck";
inline constexpr const char* kReadyTimeout = "ReadyTimeout";
inline constexpr const char* kReadyInterval = "ReadyInterval";
inline constexpr const char* kHealthCheck = "HealthCheck";
inline constexpr const char* kHealthInterval = "HealthInterval";
inline constexpr const char* kHealthTimeout = "HealthTimeout";
inline constexpr const char* kHealthRetries = "HealthRetries";
}  // namespace value

// Defaults of the values the tool does not write; a service installed without them keeps
// working with these.
inline constexpr std::uint32_t kDefaultStopTimeoutMs = 15000;
// The longest StopTimeout the runner accepts (ten minutes); a larger one is refused, so that
// a typing slip cannot hold a service in stop-pending for days.
inline constexpr std::uint32_t kMaxStopTimeoutMs = 600000;
inline constexpr const char* kDefaultRestart = "OnFailure";
inline constexpr std::uint32_t kDefaultRestartDelayMs = 1000;
inline constexpr std::uint32_t kDefaultRestartDelayMaxMs = 60000;
inline constexpr std::uint32_t kDefaultRestartLimit = 0;  // no limit
inline constexpr const char* kDefaultPriority = "Normal";
inline constexpr std::uint32_t kDefaultRotateBytes = 0;  // no rotation by size
inline constexpr std::uint32_t kDefaultRotateDaily = 0;
inline constexpr std::uint32_t kDefaultRotateKeep = 10;
inline constexpr std::uint32_t kDefaultTimestamps = 0;
// The checks: until ReadyCheck passes the service is starting; HealthCheck's failures in a row
// end a run as a failure. Without them the program counts as ready once it runs.
inline constexpr std::uint32_t kDefaultReadyTimeoutMs = 60000;
inline constexpr std::uint32_t kMaxReadyTimeoutMs = 600000;
inline constexpr std::uint32_t kDefaultReadyIntervalMs = 250;
// Below this a check would cost more than it tells.
inline constexpr std::uint32_t kMinCheckIntervalMs = 50;
inline constexpr std::uint32_t kMaxCheckIntervalMs = 600000;
inline constexpr std::uint32_t kDefaultHealthIntervalMs = 30000;
inline constexpr std::uint32_t kDefaultHealthTimeoutMs = 5000;
inline constexpr std::uint32_t kMaxHealthTimeoutMs = 600000;
inline constexpr std::uint32_t kDefaultHealthRetries = 3;
// The variable that names the notify pipe in the program's environment.
inline constexpr const char* kNotifyVariable = "QUILLMONT_NOTIFY";

// The user-defined service control that asks the runner to rotate its output files now.
inline constexpr std::uint32_t kControlRotate = 128;

// What a running runner tells of its program: a record of 32-bit words in a named section
// that only the runner can write and that vanishes with the runner. The name carries the
// runner's process id, which the Service Control Manager gives for the service, so a reader
// never meets the record of an earlier run, and a new run never meets the old one's name.
namespace state {
inline constexpr const char* kSectionPrefix = "Global\\carrack.state.";
// Raised whenever the words change meaning; a reader ignores a record of a layout it does not
// know. Layout 1 (the first twelve words) is what runners before the checks publish.
inline constexpr std::uint32_t kLayoutVersion = 2;
inline constexpr std::uint32_t kFirstLayoutVersion = 1;
// The words of each text of the record: 128 bytes, NUL-ended (a longer text is cut).
inline constexpr std::size_t kTextWords = 32;
// The words, in order. kSequence is odd while the runner writes the rest.
enum Word : std::size_t {
  kSize,  // the record's size in bytes
  kVersion,
  kSequence,
  kPhase,
  kProcessId,   // the program's, while it runs
  kStartedLow,  // when the program started (FILETIME, UTC)
  kStartedHigh,
  kHasExitCode,    // 1 when the program has ended at least once
  kExitCode,       // of its last end
  kRestartsInRow,  // restarts since the last run that counted as good
  kNextStartLow,   // while restarting: when the next start is due (FILETIME, UTC)
  kNextStartHigh,
  kFirstLayoutWordCount,
  // Layout 2: the checks.
  kCheckFlags = kFirstLayoutWordCount,  // CheckFlag bits
  kWaitStartedLow,                      // when the wait for readiness began (FILETIME, UTC)
  kWaitStartedHigh,
  kReadyTimeoutMs,
  kHealthFailures,  // failures in a row of the health check
  kHealthRetries,   // the failures in a row that end the run
  // Texts of kTextWords words each: the check (the ReadyCheck while it is waited for, else the
  // HealthCheck), what its last failed probe saw, and the program's last STATUS= line.
  kCheckText,
  kSeenText = kCheckText + kTextWords,
  kProgramStatus = kSeenText + kTextWords,
  kWordCount = kProgramStatus + kTextWords
};
inline constexpr std::uint32_t kRecordBytes = kWordCount * sizeof(std::uint32_t);
inline constexpr std::uint32_t kFirstLayoutBytes = kFirstLayoutWordCount * sizeof(std::uint32_t);
enum CheckFlag : std::uint32_t {
  kWaitingForReady = 1,  // the program runs and its ReadyCheck has not passed yet
  kHealthChecked = 2,    // a HealthCheck is set
  kHealthProbed = 4,     // and has given its first verdict in this run
  // The last run was ended by the runner: its HealthCheck failed HealthRetries times in a row,
  // or its ReadyCheck did not pass within ReadyTimeout (the check and what it saw are kept).
  kEndedUnhealthy = 8,
  kEndedNotReady = 16,
};
enum class Phase : std::uint32_t { kStarting = 1, kRunning = 2, kRestarting = 3, kStopping = 4 };

inline std::string SectionName(std::uint32_t dwRunnerProcessId) {
  return kSectionPrefix + std::to_string(dwRunnerProcessId);
}
}  // namespace state

// The words the runner accepts for its word-valued settings (compared case-insensitively).
inline constexpr const char* kRestartWords[] = {"OnFailure", "Always", "Never"};
inline constexpr const char* kPriorityWords[] = {"Idle", "BelowNormal", "Normal", "AboveNormal",
                                                 "High"};

// The most the runner reads of one value; a larger value is refused rather than read into an
// unbounded buffer. Well above anything a command line can use.
inline constexpr std::uint32_t kMaxValueBytes = 64 * 1024;

enum class ValueType { kString, kDword, kMultiString };

// The words a word-valued runner value accepts; empty for any other value.
struct WordList {
  const char* const* ppszWords = nullptr;
  std::size_t cWords = 0;
  template <std::size_t N>
  constexpr WordList(const char* const (&words)[N]) : ppszWords(words), cWords(N) {}
  constexpr WordList() = default;
  constexpr const char* const* begin() const { return ppszWords; }
  constexpr const char* const* end() const { return ppszWords + cWords; }
};

inline constexpr std::uint32_t kNoMaximum = 0xFFFFFFFFu;

struct RunnerValue {
  const char* pszName;
  ValueType type;
  bool bRequired;           // the runner refuses to start without it (the tool always writes it)
  bool bWrittenByTool;      // the window's Install writes it
  const char* pszDefault;   // default of an optional string value; nullptr: empty or none
  std::uint32_t dwDefault;  // default of an optional DWORD value
  std::uint32_t dwMin;      // the limits of a DWORD value, both accepted
  std::uint32_t dwMax;
  WordList words;  // a word value: what it may say
};

// Every value the runner reads, in the order the tool writes the first four. A value added
// later is optional, so that a service installed before it keeps working.
inline constexpr RunnerValue kRunnerValues[] = {
    {value::kInstaller, ValueType::kString, false, true, nullptr, 0, 0, 0, {}},
    {value::kArguments, ValueType::kString, true, true, nullptr, 0, 0, 0, {}},
    {value::kRunfile, ValueType::kString, true, true, nullptr, 0, 0, 0, {}},
    {value::kDirectory, ValueType::kString, true, true, nullptr, 0, 0, 0, {}},
    {value::kStopTimeout,
     ValueType::kDword,
     false,
     false,
     nullptr,
     kDefaultStopTimeoutMs,
     0,
     kMaxStopTimeoutMs,
     {}},
    {value::kStdout, ValueType::kString, false, false, nullptr, 0, 0, 0, {}},
    {value::kStderr, ValueType::kString, false, false, nullptr, 0, 0, 0, {}},
    {value::kRestart, ValueType::kString, false, false, kDefaultRestart, 0, 0, 0, kRestartWords},
    // At least 1: a zero delay never doubles, and the program would be started without pause.
    {value::kRestartDelay,
     ValueType::kDword,
     false,
     false,
     nullptr,
     kDefaultRestartDelayMs,
     1,
     kNoMaximum,
     {}},
    {value::kRestartDelayMax,
     ValueType::kDword,
     false,
     false,
     nullptr,
     kDefaultRestartDelayMaxMs,
     0,
     kNoMaximum,
     {}},
    {value::kRestartLimit,
     ValueType::kDword,
     false,
     false,
     nullptr,
     kDefaultRestartLimit,
     0,
     kNoMaximum,
     {}},
    {value::kEnvironment, ValueType::kMultiString, false, false, nullptr, 0, 0, 0, {}},
    {value::kPriority, ValueType::kString, false, false, kDefaultPriority, 0, 0, 0, kPriorityWords},
    {value::kRotateBytes,
     ValueType::kDword,
     false,
     false,
     nullptr,
     kDefaultRotateBytes,
     0,
     kNoMaximum,
     {}},
    {value::kRotateDaily,
     ValueType::kDword,
     false,
     false,
     nullptr,
     kDefaultRotateDaily,
     0,
     kNoMaximum,
     {}},
    {value::kRotateKeep,
     ValueType::kDword,
     false,
     false,
     nullptr,
     kDefaultRotateKeep,
     0,
     kNoMaximum,
     {}},
    {value::kTimestamps,
     ValueType::kDword,
     false,
     false,
     nullptr,
     kDefaultTimestamps,
     0,
     kNoMaximum,
     {}},
    // Empty: none. Its syntax is the runner's check's (runner/core/probe_target.h).
    {value::kReadyCheck, ValueType::kString, false, false, nullptr, 0, 0, 0, {}},
    {value::kReadyTimeout,
     ValueType::kDword,
     false,
     false,
     nullptr,
     kDefaultReadyTimeoutMs,
     1,
     kMaxReadyTimeoutMs,
     {}},
    {value::kReadyInterval,
     ValueType::kDword,
     false,
     false,
     nullptr,
     kDefaultReadyIntervalMs,
     kMinCheckIntervalMs,
     kMaxCheckIntervalMs,
     {}},
    {value::kHealthCheck, ValueType::kString, false, false, nullptr, 0, 0, 0, {}},
    {value::kHealthInterval,
     ValueType::kDword,
     false,
     false,
     nullptr,
     kDefaultHealthIntervalMs,
     kMinCheckIntervalMs,
     kNoMaximum,
     {}},
    {value::kHealthTimeout,
     ValueType::kDword,
     false,
     false,
     nullptr,
     kDefaultHealthTimeoutMs,
     1,
     kMaxHealthTimeoutMs,
     {}},
    {value::kHealthRetries,
     ValueType::kDword,
     false,
     false,
     nullptr,
     kDefaultHealthRetries,
     1,
     kNoMaximum,
     {}},
};
inline constexpr std::size_t kRunnerValueCount = std::size(kRunnerValues);

// The entry for a value name (exact, as the registry stores it), or nullptr.
constexpr const RunnerValue* FindRunnerValue(std::string_view name) {
  for (const RunnerValue& entry : kRunnerValues) {
    if (name == entry.pszName) return &entry;
  }
  return nullptr;
}

// The entry for a value name in any letter case, or nullptr.
constexpr const RunnerValue* FindRunnerValueIgnoringCase(std::string_view name) {
  for (const RunnerValue& entry : kRunnerValues) {
    if (EqualsIgnoringCase(name, entry.pszName)) return &entry;
  }
  return nullptr;
}

constexpr WordList WordsOf(std::string_view valueName) {
  const RunnerValue* pValue = FindRunnerValue(valueName);
  return pValue != nullptr ? pValue->words : WordList{};
}

}  // namespace qm::contract
