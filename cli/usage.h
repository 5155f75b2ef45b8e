#pragma once
// The command line's help texts, made from the command table.

#include <string>

#include "cli/command_entry.h"

namespace qm::cli {

std::string ShortUsage();                               // one line, after a usage error
std::string FullUsage();                                // help, --help
std::string CommandUsage(const CommandEntry& command);  // help <command>

}  // namespace qm::cli
