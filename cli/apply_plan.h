#pragma once
// What apply changes to make a service as its entry in the file says, decided from the entry
// and the service as it is (cli/apply_command.cpp reads the machine and carries the changes
// out), and how each change is told: a line, or an object of apply --json.

#include <string>
#include <vector>

#include "cli/json_fwd.h"
#include "cli/services_file.h"

namespace qm::cli {

// kPreshutdown: the manager's pre-shutdown timeout, which follows StopTimeout.
enum class ChangeKind { kCreate, kSet, kRemove, kRestart, kPreshutdown };

struct Change {
  ChangeKind kind = ChangeKind::kSet;
  std::string strService;
  // kSet: the setting's place in AllSettings(), and the setting as it is and as it will be
  // (kPreshutdown: the timeouts, in milliseconds).
  std::size_t nSetting = 0;
  SettingState from;
  SettingState to;
};

// The settings in which the service (current) differs from its entry, in the table's order;
// a value equal to the entry's is left as it is.
std::vector<Change> SettingChanges(const ServiceEntry& entry, const ServiceState& current);

// The StopTimeout a state holds (its default when not stored).
std::uint32_t StopTimeoutOf(const ServiceState& state);
// The pre-shutdown timeout the entry's StopTimeout needs, when the service's (dwCurrentMs)
// differs; none otherwise.
std::vector<Change> PreshutdownChanges(const ServiceEntry& entry, std::uint32_t dwCurrentMs);

// The service as install leaves it for the entry: the name, display name, automatic or demand
// start, dependencies and the runner values install writes, the rest at their defaults.
ServiceState InstalledState(const ServiceEntry& entry);

// "MyApp: RestartDelay 1000 -> 2000", "MyApp: created", "MyApp: pre-shutdown timeout 180000 ->
// 305000 ms"; bCheck: what would be done. A value
// at its default shows the default's value; one the runner cannot read, "(unreadable)".
std::string ChangeLine(const Change& change, bool bCheck);
// {"Name": "MyApp", "Action": "set", "Setting": "RestartDelay", "From": 1000, "To": 2000},
// {"Name": "MyApp", "Action": "preshutdown", "From": 180000, "To": 305000}
// ("From": null for a value the runner cannot read);
// false, and said why, when a text is no text of the ANSI code page.
bool ChangeJson(CommandContext& context, const Change& change, Json* pJson);

}  // namespace qm::cli
