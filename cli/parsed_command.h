#pragma once
// What the user asked for: a command's arguments and options, read from the raw line against
// its row of the command table (cli/arguments.h), so that a program's arguments keep their
// quotes and blanks.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/tokenizer.h"

namespace qm::cli {

// How long start, stop and restart wait for the state to settle unless --timeout says (start
// waits longer for a service with a ReadyCheck: StartWaitSeconds).
inline constexpr std::uint32_t kDefaultTimeoutSeconds = 30;
inline constexpr std::uint32_t kMaxTimeoutSeconds = 86400;

struct ParsedCommand {
  // The arguments.
  std::string strName;     // the service
  std::string strSetting;  // set, get, reset
  std::string strProgram;  // install
  std::string strTopic;    // help: the command asked about
  std::string strFile;     // apply
  // What follows the fixed arguments (install: the program's arguments; set: the data): as
  // typed, and as split.
  std::string strRest;
  std::vector<Token> rest;
  // The options; a value option not given is empty.
  std::optional<std::string> displayName;
  std::optional<std::string> startup;  // one of --startup's words, as the table spells it
  std::optional<std::string> dependencies;
  std::optional<std::string> directory;
  bool bForce = false;
  std::optional<std::uint32_t> timeoutSeconds;  // --timeout, when given
  bool bNoWait = false;
  bool bJson = false;           // status, list, get, apply: one JSON document instead of lines
  bool bAll = false;            // export: every service of ours
  bool bCheck = false;          // apply: change nothing, say what would change
  bool bRestart = false;        // apply: restart a running service whose settings changed
  bool bPasswordStdin = false;  // set Account: the password is the first line of standard input
  bool bNoGrant = false;        // set Account: leave the account's rights alone
};

}  // namespace qm::cli
