#pragma once
// The environment the program starts with: the runner's own, with the Environment value's
// entries applied in order. "NAME=value" sets a variable, with %NAME% in the value replaced
// by that variable as built so far; "NAME=" removes it. Names compare case-insensitively.

#include <string>
#include <string_view>
#include <vector>

namespace qm::runner {

// Variables as "NAME=value" strings. A name may start with '=' (the system's per-drive
// current folders, "=C:=C:\\dir"); such entries are carried along untouched.
using EnvironmentVariables = std::vector<std::string>;

// Splits an environment block (strings each ending in NUL, the block in a second NUL).
EnvironmentVariables ParseEnvironmentBlock(const char* pBlock);

// text with every %NAME% of a defined variable replaced by its value; an undefined one stays
// as written.
std::string ExpandVariables(std::string_view text, const EnvironmentVariables& variables);

// Applies entries (each holding '=' after a name, see MakeRunSettings) to variables.
void ApplyEnvironmentEntries(EnvironmentVariables& variables,
                             const std::vector<std::string>& entries);

// The block for process creation: sorted by name, case-insensitively, as the system keeps it.
std::string ComposeEnvironmentBlock(EnvironmentVariables variables);

}  // namespace qm::runner
