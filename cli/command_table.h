#pragma once
// The command line's commands, one row each, in the order help lists them; and the switches
// that stand alone after the program's name (--help, --version).

#include <span>
#include <string_view>

#include "cli/command_entry.h"

namespace qm::cli {

std::span<const CommandEntry> Commands();

// The command named by a word (letter case counts), or null.
const CommandEntry* FindCommand(std::string_view word);
// The command a switch alone on the line stands for (--help, -h, /?, --version), or null.
const CommandEntry* FindSwitch(std::string_view word);

}  // namespace qm::cli
