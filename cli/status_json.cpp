#include "cli/status_json.h"

#include <chrono>
#include <cstdio>

#include "cli/json.h"

namespace qm::cli {

namespace {

namespace st = contract::state;

constexpr std::uint32_t kErrorServiceSpecificError = 1066;

const char* PhaseWord(st::Phase phase) {
  switch (phase) {
    case st::Phase::kStarting:
      return "starting";
    case st::Phase::kRunning:
      return "running";
    case st::Phase::kRestarting:
      return "restarting";
    case st::Phase::kStopping:
      return "stopping";
  }
  return "unknown";
}

const char* ViewWord(RunnerViewRead read) {
  switch (read) {
    case RunnerViewRead::kRead:
      return "read";
    case RunnerViewRead::kAbsent:
      return "absent";
    case RunnerViewRead::kUnreadable:
      return "unreadable";
    case RunnerViewRead::kUnknownLayout:
      return "unknown layout";
    case RunnerViewRead::kUntrusted:
      return "untrusted";
  }
  return "unknown";
}

Json TextOrNull(const std::string& strAnsi, const AnsiToUtf8& utf8) {
  return strAnsi.empty() ? Json() : Json(utf8(strAnsi));
}

Json ReadyObject(const contract::RunnerState& state, const AnsiToUtf8& utf8) {
  Json ready = Json::object();
  ready["Check"] = utf8(state.strCheck);
  ready["WaitingSince"] = IsoUtcTime(state.qwWaitStarted);
  ready["TimeoutSeconds"] = (state.dwReadyTimeoutMs + 999) / 1000;
  ready["LastSeen"] = TextOrNull(state.strSeen, utf8);
  return ready;
}

Json HealthObject(const contract::RunnerState& state, const AnsiToUtf8& utf8) {
  Json health = Json::object();
  health["Check"] = utf8(state.strCheck);
  health["State"] = state.dwHealthFailures > 0                 ? "failing"
                    : (state.dwCheckFlags & st::kHealthProbed) ? "healthy"
                                                               : "not checked yet";
  health["Failures"] = state.dwHealthFailures;
  health["Retries"] = state.dwHealthRetries;
  health["LastSeen"] = state.dwHealthFailures > 0 ? TextOrNull(state.strSeen, utf8) : Json();
  return health;
}

}  // namespace

std::string IsoUtcTime(std::uint64_t qwFileTime) {
  using namespace std::chrono;
  // FILETIME counts 100 ns from 1601-01-01; the system clock's epoch is 1970-01-01.
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
  const sys_seconds time{
      seconds(static_cast<std::int64_t>(qwFileTime / 10000000) - kSecondsFrom1601To1970)};
  const sys_days day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss<seconds> clock{time - day};
  char sz[32];
  std::snprintf(sz, sizeof(sz), "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return sz;
}

Json StatusObject(const std::string& strName, const platform::ServiceStatus& status,
                  const RunnerView& view, const AnsiToUtf8& utf8) {
  const bool bRunning = status.currentState == platform::kServiceRunning;
  // A starting service's runner tells what the start waits for.
  const bool bTells = bRunning || status.currentState == platform::kServiceStartPending;
  const bool bStopped = status.currentState == platform::kServiceStopped;
  const bool bKnownState = status.currentState >= platform::kServiceStopped &&
                           status.currentState <= platform::kServicePaused;
  // Key by key: a list of thousands is built faster so than from initializer lists.
  Json object = Json::object();
  object["Name"] = strName;
  object["State"] = bKnownState ? StateWord(status.currentState) : "unknown";
  for (const char* pszKey : {"ProgramState", "ProcessId", "Since", "LastExitCode", "RestartsInRow",
                             "NextStart", "Ready", "Health"}) {
    object[pszKey] = nullptr;
  }
  object["Win32ExitCode"] = bStopped ? Json(status.win32ExitCode) : Json();
  object["RunnerView"] = bTells ? Json(ViewWord(view.read)) : Json();
  // A service that stopped with its program's exit code carries it.
  if (bStopped && status.win32ExitCode == kErrorServiceSpecificError) {
    object["LastExitCode"] = status.serviceSpecificExitCode;
  }
  if (!bTells || view.read != RunnerViewRead::kRead) return object;
  const contract::RunnerState& state = view.state;
  object["ProgramState"] = PhaseWord(state.phase);
  if (state.phase == st::Phase::kRunning || (state.dwCheckFlags & st::kWaitingForReady)) {
    object["ProcessId"] = state.dwProcessId;
    object["Since"] = IsoUtcTime(state.qwStarted);
  }
  if (state.bHasExitCode) object["LastExitCode"] = state.dwExitCode;
  object["RestartsInRow"] = state.dwRestartsInRow;
  if (state.phase == st::Phase::kRestarting) object["NextStart"] = IsoUtcTime(state.qwNextStart);
  if (state.dwCheckFlags & st::kWaitingForReady) {
    object["Ready"] = ReadyObject(state, utf8);
  } else if (state.phase == st::Phase::kRunning && (state.dwCheckFlags & st::kHealthChecked)) {
    object["Health"] = HealthObject(state, utf8);
  }
  return object;
}

}  // namespace qm::cli
