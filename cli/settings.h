#pragma once
// The settings that set, get and reset edit: every runner value of the contract (the
// installer's marker aside) and the service's own settings the contract names. Names are
// matched in any letter case; data is checked against the setting's type and words before
// anything is written.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/tokenizer.h"
#include "contract/runner_contract.h"

namespace qm::cli {

enum class SettingKind {
  kRunnerValue,  // under the Parameters key; see pValue for the type
  kDisplayName,
  kDescription,
  kStartup,
  kDependencies,
  kAccount,
  kRecovery,      // the manager's failure actions (cli/recovery_list.h)
  kRecoveryReset  // their reset period, in seconds
};

struct Setting {
  const char* pszName = nullptr;  // the name as the contract spells it
  SettingKind kind = SettingKind::kRunnerValue;
  const contract::RunnerValue* pValue = nullptr;  // for a runner value
};

// Finds a setting by name in any letter case.
bool FindSetting(std::string_view name, Setting* setting);
// Every setting, runner values first, in the contract's order.
std::vector<Setting> AllSettings();

enum class StartupChoice { kAuto, kDelayedAuto, kManual, kDisabled };

// What a set command writes, checked and converted.
struct SettingData {
  std::string strText;        // texts; dependencies as "A;B"
  std::uint32_t dwValue = 0;  // DWORD values
  std::string strList;        // multi-string value: entries each NUL-ended
  StartupChoice startup = StartupChoice::kAuto;
  std::string strPassword;      // account
  bool bPasswordGiven = false;  // a user's account: the password is in strPassword
};

// Checks the data of `set` for setting (raw: as typed; tokens: as split) and converts it.
// False with a one-line reason otherwise. A user's account may come without its password
// (bPasswordGiven false): set takes it from standard input or a prompt.
bool ParseSettingData(const Setting& setting, std::string_view raw,
                      const std::vector<Token>& tokens, SettingData* data, std::string* error);

// What reset leaves of one of the service's own settings (the name is strName): DisplayName
// the name, Startup auto, Account LocalSystem, Description and Dependencies empty, Recovery
// none, RecoveryReset a day.
SettingData DefaultData(const Setting& setting, const std::string& strName);

// The Parameters key is reached by its whole path through the registry's ANSI calls, by the
// tool and by the runner, which take at most MAX_PATH characters with the NUL. The manager
// itself takes names of 256 characters, but a name whose key path is longer would leave a
// service whose settings can be neither written nor read.
inline constexpr std::size_t kMaxParametersPath = 259;
// Whether a new service may have this name as far as its key path goes; says why not.
bool CheckNameLength(std::string_view name, std::string* error);

// A DWORD in decimal (or 0x hexadecimal), no sign, no blanks, at most 0xFFFFFFFF.
bool ParseDword(std::string_view text, std::uint32_t* value);
// The startup word for a start type and the delayed flag ("boot"/"system" for drivers).
const char* StartupWord(std::uint32_t startType, bool delayed);
// The start type and delayed flag of a choice.
std::uint32_t StartTypeOf(StartupChoice choice);
// The account as the system stores it for a word the user typed (LocalService and
// NetworkService get their authority; other names stay as typed).
std::string AccountName(std::string_view typed);

}  // namespace qm::cli
