#pragma once
// The file export writes and apply reads: JSON,
//   {"services": [{"Name": "MyApp", "Startup": "auto", "Runfile": "C:\\App\\app.exe",
//                  "RestartDelay": 2000, "Environment": ["A=1", "B=two words"]}]}
// Its keys are the settings' names (in any letter case; written as the table spells them),
// numbers are numbers and lists are arrays. A setting an entry leaves out has its default: the
// file is the whole truth for each service it names. "Ensure": "absent" asks for the service's
// removal, and a user account's password comes from the environment variable that
// "AccountPasswordFrom": "env:NAME" names, never from the file.

#include <string>
#include <string_view>
#include <vector>

#include "cli/command_context.h"
#include "cli/json_fwd.h"
#include "cli/setting_value.h"

namespace qm::cli {

// A service as a file describes it, checked.
struct ServiceEntry {
  std::string strName;
  bool bAbsent = false;  // to be removed; nothing else of it is read
  // Neither Recovery nor RecoveryReset named: the manager's failure actions stay as they are,
  // whoever set them (the Services console, a group policy), as Recovery's default promises.
  bool bRecoveryKept = false;
  // Every setting, in the order of AllSettings(): the file's value, or its default.
  ServiceState desired;
  // Each setting's data as set takes it (the account's with its password), for the writes.
  std::vector<SettingData> data;
};

// The places in AllSettings() in the order a file holds the settings: the service's own
// first, as the window's form shows them, then the runner's.
std::vector<std::size_t> FileOrder();

// The largest file apply reads: some thousands of services.
inline constexpr std::size_t kMaxServicesFileBytes = 4 * 1024 * 1024;

// Reads a file and checks all of it as set checks each setting and as the runner checks its
// values at a start, each service as a whole; reads the passwords from the environment. False
// with one line that says where (a line and column, or a service and its key) and what is
// wrong.
bool ReadServicesFile(CommandContext& context, std::string_view text,
                      std::vector<ServiceEntry>* pEntries, std::string* pError);

// A service's entry: its Name, then its settings in the table's order, the service's own
// first. bAll: every setting (get --json); otherwise those not at their default, Runfile and
// Startup always, and for a user account the variable its password is to come from (export).
// False, and said why, when a text is no text of the ANSI code page.
bool WriteServiceObject(CommandContext& context, const std::string& strName,
                        const ServiceState& state, bool bAll, Json* pObject);

// A setting's value as a file holds it; false when a text is no text of the ANSI code page.
bool ValueToJson(CommandContext& context, const SettingValue& value, Json* pJson);

}  // namespace qm::cli
