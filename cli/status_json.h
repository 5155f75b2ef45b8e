#pragma once
// The object status --json prints for a service, and list --json for each of its services:
// the manager's state and what the runner tells of its program, as values a script reads
// (null where nothing is known), times in UTC.

#include <functional>
#include <string>

#include "cli/json_fwd.h"
#include "cli/status_line.h"

namespace qm::cli {

// The runner's texts (a check, what a probe saw) are in the ANSI code page; JSON wants UTF-8.
using AnsiToUtf8 = std::function<std::string(const std::string&)>;

// {"Name", "State", "ProgramState", "ProcessId", "Since", "LastExitCode", "RestartsInRow",
//  "NextStart", "Ready", "Health", "Win32ExitCode", "RunnerView"}; strName in UTF-8. Ready is
// an object while the start waits for the ReadyCheck ({"Check", "WaitingSince",
// "TimeoutSeconds", "LastSeen"}), Health one when a HealthCheck is set ({"Check", "State":
// "not checked yet", "healthy" or "failing", "Failures", "Retries", "LastSeen"}).
Json StatusObject(const std::string& strName, const platform::ServiceStatus& status,
                  const RunnerView& view, const AnsiToUtf8& utf8);

// A FILETIME (UTC) as ISO 8601: "2026-12-09T02:10:22Z".
std::string IsoUtcTime(std::uint64_t qwFileTime);

}  // namespace qm::cli
