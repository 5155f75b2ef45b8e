#pragma once
// What the user asked for on the command line: the command, its service name and options,
// read from the raw line so that a program's arguments keep their quotes and blanks.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/tokenizer.h"

namespace qm::cli {

enum class Verb {
  kHelp,
  kVersion,
  kInstall,
  kRemove,
  kSet,
  kGet,
  kReset,
  kStart,
  kStop,
  kRestart,
  kStatus,
  kList,
  kDump,
  kRotate
};

// How long start, stop and restart wait for the state to settle unless --timeout says.
inline constexpr std::uint32_t kDefaultTimeoutSeconds = 30;
inline constexpr std::uint32_t kMaxTimeoutSeconds = 86400;

struct ParsedCommand {
  Verb verb = Verb::kHelp;
  std::string strName;      // the service; for help, the command asked about
  std::string strSetting;   // set, get, reset
  std::vector<Token> data;  // set: the data arguments
  std::string strRawData;   // set: the data as typed
  // install
  std::string strDisplayName;
  bool bDisplayName = false;
  bool bAutoStart = true;
  std::string strDependencies;
  std::string strDirectory;
  std::string strProgram;
  std::string strArguments;  // as typed after the program
  // remove
  bool bForce = false;
  // start, stop, restart, status
  std::uint32_t dwTimeoutSeconds = kDefaultTimeoutSeconds;
  bool bNoWait = false;
};

struct ParseResult {
  bool bOk = false;
  std::string strError;  // for a usage error: what was wrong, in one line
  ParsedCommand command;
};

// Parses a whole command line (program name first, as the system hands it over).
ParseResult ParseCommandLine(std::string_view line);

// The command named by a word, or false.
bool FindVerb(std::string_view word, Verb* verb);

}  // namespace qm::cli
