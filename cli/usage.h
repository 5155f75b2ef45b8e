#pragma once
// The command line's help texts.

#include <string>

#include "cli/arguments.h"

namespace qm::cli {

std::string ShortUsage();             // one line, after a usage error
std::string FullUsage();              // help, --help
std::string CommandUsage(Verb verb);  // help <command>

}  // namespace qm::cli
