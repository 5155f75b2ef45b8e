#pragma once
// A command as data: its word, its code, whether it needs administrator rights, its arguments
// and options, and its help. The rows are cli/command_table.cpp; the parser (cli/arguments.h)
// and the help texts (cli/usage.h) read nothing else.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "cli/parsed_command.h"

namespace qm::cli {

struct CommandContext;

// Runs a parsed command; returns the exit code.
using CommandHandler = int (*)(CommandContext& context, const ParsedCommand& cmd);

// A positional argument. The last one may be the rest of the line: a command that has one
// takes its options first, and everything after its fixed arguments as typed.
struct ArgumentEntry {
  const char* pszUsage;   // as the usage shows it: "<name>", "[<setting>]", "<data...>"
  const char* pszNeeded;  // what a usage error says is missing ("a service name"); null: optional
  std::string ParsedCommand::*pstrTarget;  // where it goes; null for the rest of the line
};

constexpr ArgumentEntry Required(const char* pszUsage, const char* pszNeeded,
                                 std::string ParsedCommand::*pstrTarget) {
  return {pszUsage, pszNeeded, pstrTarget};
}
constexpr ArgumentEntry Optional(const char* pszUsage, std::string ParsedCommand::*pstrTarget) {
  return {pszUsage, nullptr, pstrTarget};
}
// pszNeeded null: the rest may be empty.
constexpr ArgumentEntry Rest(const char* pszUsage, const char* pszNeeded) {
  return {pszUsage, pszNeeded, nullptr};
}

enum class OptionKind {
  kFlag,         // "--force": on when given, never with "=value"
  kText,         // "--dir D" or "--dir=D"
  kChoice,       // one of the words of pszValue ("auto|manual"), in any letter case
  kSeconds,      // 0 to kMaxTimeoutSeconds
  kOneArgument,  // a flag: the rest of the line is one argument, its quotes removed
};

struct OptionEntry {
  const char* pszName;  // "--timeout"
  OptionKind kind;
  const char* pszValue;  // what the usage shows for the value ("S"); null for a flag
  bool bHidden;          // taken but not shown in the usage
  // Where it goes, by kind.
  bool ParsedCommand::*pbFlag;
  std::optional<std::string> ParsedCommand::*pText;
  std::optional<std::uint32_t> ParsedCommand::*pSeconds;
};

constexpr OptionEntry FlagOption(const char* pszName, bool ParsedCommand::*pbFlag,
                                 bool bHidden = false) {
  return {pszName, OptionKind::kFlag, nullptr, bHidden, pbFlag, nullptr, nullptr};
}
constexpr OptionEntry TextOption(const char* pszName, const char* pszValue,
                                 std::optional<std::string> ParsedCommand::*pText) {
  return {pszName, OptionKind::kText, pszValue, false, nullptr, pText, nullptr};
}
constexpr OptionEntry ChoiceOption(const char* pszName, const char* pszWords,
                                   std::optional<std::string> ParsedCommand::*pText) {
  return {pszName, OptionKind::kChoice, pszWords, false, nullptr, pText, nullptr};
}
constexpr OptionEntry SecondsOption(const char* pszName, const char* pszValue,
                                    std::optional<std::uint32_t> ParsedCommand::*pSeconds,
                                    bool bHidden = false) {
  return {pszName, OptionKind::kSeconds, pszValue, bHidden, nullptr, nullptr, pSeconds};
}
constexpr OptionEntry OneArgumentOption(const char* pszName) {
  return {pszName, OptionKind::kOneArgument, nullptr, false, nullptr, nullptr, nullptr};
}

struct CommandEntry {
  const char* pszName = nullptr;
  CommandHandler pfnRun = nullptr;
  bool bNeedsAdministrator = false;  // refused, before anything is done, without the rights
  std::span<const ArgumentEntry> arguments = {};
  std::span<const OptionEntry> options = {};
  // An option this command does not know is its first argument instead of a usage error (set:
  // a service may be named "--x"; "--" is then needed only before a name that is one of set's
  // own options).
  bool bUnknownOptionIsArgument = false;
  bool bListsSettings = false;  // its help ends with the settings
  const char* pszHelp = "";     // the lines after its usage, each indented
};

// A command with a rest argument takes its options first.
inline bool TakesOptionsFirst(const CommandEntry& command) {
  return !command.arguments.empty() && command.arguments.back().pstrTarget == nullptr;
}

}  // namespace qm::cli
