#pragma once
// The object status --json prints for a service, and list --json for each of its services:
// the manager's state and what the runner tells of its program, as values a script reads
// (null where nothing is known), times in UTC.

#include <string>

#include "cli/json_fwd.h"
#include "cli/status_line.h"

namespace qm::cli {

// {"Name", "State", "ProgramState", "ProcessId", "Since", "LastExitCode", "RestartsInRow",
//  "NextStart", "Win32ExitCode", "RunnerView"}; strName in UTF-8.
Json StatusObject(const std::string& strName, const platform::ServiceStatus& status,
                  const RunnerView& view);

// A FILETIME (UTC) as ISO 8601: "2026-12-09T02:10:22Z".
std::string IsoUtcTime(std::uint64_t qwFileTime);

}  // namespace qm::cli
