#pragma once
// Reads a whole command line against the command table: which command, and its arguments and
// options as its row describes them (cli/command_entry.h).

#include <string>
#include <string_view>

#include "cli/command_entry.h"

namespace qm::cli {

struct ParseResult {
  bool bOk = false;
  std::string strError;  // for a usage error: what was wrong, in one line
  const CommandEntry* pCommand = nullptr;
  ParsedCommand command;
};

// Parses a whole command line (program name first, as the system hands it over).
ParseResult ParseCommandLine(std::string_view line);

}  // namespace qm::cli
