#pragma once
// A setting's value as export writes it and apply compares it: a text, a number or a list,
// each setting always the same one (its shape), and the value of a setting at its default.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "cli/settings.h"

namespace qm::cli {

using SettingValue = std::variant<std::string, std::uint32_t, std::vector<std::string>>;

// Texts (a word, a path, a command line), numbers (the runner's DWORD values) and lists
// (Environment's entries, Dependencies' names).
enum class ValueShape { kText, kNumber, kList };
ValueShape ShapeOf(const Setting& setting);

// One setting of a service, as the machine has it or as a file wants it.
struct SettingState {
  SettingValue value;
  // Whether a runner value is stored (one that is not has its default); the manager keeps
  // every service setting.
  bool bStored = true;
  // Stored in a form the runner does not read (another type, too long): it differs from every
  // value a file can give.
  bool bUnreadable = false;
};
// Every setting of a service, in the order of AllSettings().
using ServiceState = std::vector<SettingState>;

// The setting at its default for the service strName, as reset leaves it: an optional runner
// value not stored, Arguments and Directory empty, DisplayName the name, no description,
// automatic start, no dependencies, LocalSystem, no recovery and its reset after a day.
SettingState DefaultState(const Setting& setting, const std::string& strName);
// The value of checked data (cli/settings.h) as get shows it: words and accounts as stored.
SettingValue ValueOfData(const Setting& setting, const SettingData& data);
// Whether the setting is the same in a and b: both stored or neither, with the same value
// (accounts compared without regard to letter case, as the system compares them).
bool SameState(const Setting& setting, const SettingState& a, const SettingState& b);
// The value in one of apply's lines: 2000, "text", ["A=1", "B=two words"]. Line breaks and
// other control characters show as blanks: the line is one line.
std::string DisplayValue(const SettingValue& value);

}  // namespace qm::cli
