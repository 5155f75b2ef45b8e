#include "cli/arguments.h"

#include <algorithm>
#include <cstdlib>

#include "cli/command_table.h"
#include "common/ascii_case.h"
#include "contract/runner_contract.h"

namespace qm::cli {

namespace {

// "--" alone ends the options: every later argument is a name or a value, whatever it looks
// like.
constexpr const char* kEndOfOptions = "--";

bool IsOption(const std::string& strText) {
  return strText.size() > 2 && strText[0] == '-' && strText[1] == '-';
}

std::string OptionName(const std::string& strText) {
  return strText.substr(0, strText.find('='));
}

ParseResult Usage(std::string strError) {
  ParseResult result;
  result.strError = std::move(strError);
  return result;
}

// "a", "a and b", "a, b and c".
std::string JoinWords(const std::vector<std::string>& words, const char* pszLast) {
  std::string strText;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) strText += i + 1 == words.size() ? pszLast : ", ";
    strText += words[i];
  }
  return strText;
}

// The option of the command that the argument names: a flag only spelled alone, a value option
// also as "--name=value".
const OptionEntry* FindOption(const CommandEntry& command, const std::string& strText) {
  for (const OptionEntry& option : command.options) {
    const bool bFlag = option.kind == OptionKind::kFlag || option.kind == OptionKind::kOneArgument;
    if ((bFlag ? strText : OptionName(strText)) == option.pszName) return &option;
  }
  return nullptr;
}

// Reads "--name value" or "--name=value" at tokens[*pi]; advances past what it used. A
// separate value that is itself an option (or "--") is refused: the option before it was
// most likely given no value, and taking the next option as one would shift every argument
// after it. Such a value can still be given as "--name=--value". False with the usage error
// in *error.
bool TakeValue(const std::vector<Token>& tokens, std::size_t* pi, std::string* value,
               std::string* error) {
  const std::string& strText = tokens[*pi].strText;
  const std::size_t nEq = strText.find('=');
  if (nEq != std::string::npos) {
    *value = strText.substr(nEq + 1);
    ++*pi;
    return true;
  }
  if (*pi + 1 >= tokens.size()) {
    *error = strText + " needs a value";
    return false;
  }
  const std::string& strNext = tokens[*pi + 1].strText;
  if (IsOption(strNext) || strNext == kEndOfOptions) {
    *error = strText + " needs a value, not " + strNext + " (write " + strText + "=" + strNext +
             " to mean it)";
    return false;
  }
  *value = strNext;
  *pi += 2;
  return true;
}

bool ParseSeconds(const std::string& strText, std::optional<std::uint32_t>* seconds) {
  if (strText.empty() || strText.size() > 6) return false;
  for (char ch : strText) {
    if (ch < '0' || ch > '9') return false;
  }
  const unsigned long ul = std::strtoul(strText.c_str(), nullptr, 10);
  if (ul > kMaxTimeoutSeconds) return false;
  *seconds = static_cast<std::uint32_t>(ul);
  return true;
}

// A choice's words, "auto|manual", one by one.
std::vector<std::string> ChoiceWords(std::string_view words) {
  std::vector<std::string> list;
  for (std::size_t nAt = 0; nAt <= words.size();) {
    const std::size_t nEnd = std::min(words.find('|', nAt), words.size());
    list.emplace_back(words.substr(nAt, nEnd - nAt));
    nAt = nEnd + 1;
  }
  return list;
}

// Reads the option at tokens[*pi] into *cmd; advances past it. An option that asks for the rest
// as one argument is noted in *ppOneArgument.
bool ReadOption(const OptionEntry& option, const std::vector<Token>& tokens, std::size_t* pi,
                ParsedCommand* cmd, const OptionEntry** ppOneArgument, std::string* error) {
  const std::string strName = option.pszName;
  std::string strValue;
  switch (option.kind) {
    case OptionKind::kFlag:
      cmd->*option.pbFlag = true;
      ++*pi;
      return true;
    case OptionKind::kOneArgument:
      *ppOneArgument = &option;
      ++*pi;
      return true;
    case OptionKind::kText:
      if (!TakeValue(tokens, pi, &strValue, error)) return false;
      cmd->*option.pText = strValue;
      return true;
    case OptionKind::kChoice: {
      if (!TakeValue(tokens, pi, &strValue, error)) return false;
      const std::vector<std::string> words = ChoiceWords(option.pszValue);
      for (const std::string& strWord : words) {
        if (EqualsIgnoringCase(strValue, strWord)) {
          cmd->*option.pText = strWord;
          return true;
        }
      }
      *error = strName + " takes " + JoinWords(words, " or ") + ", not \"" + strValue + "\"";
      return false;
    }
    case OptionKind::kSeconds:
      if (!TakeValue(tokens, pi, &strValue, error) ||
          !ParseSeconds(strValue, &(cmd->*option.pSeconds))) {
        *error = strName + " takes a number of seconds (0 to " +
                 std::to_string(kMaxTimeoutSeconds) + ")";
        return false;
      }
      return true;
  }
  return false;
}

// What a usage error says the command needs: "a service name and a setting".
std::string Needed(const CommandEntry& command) {
  std::vector<std::string> needed;
  for (const ArgumentEntry& argument : command.arguments) {
    if (argument.pszNeeded != nullptr) needed.push_back(argument.pszNeeded);
  }
  return command.pszName + std::string(" needs ") + JoinWords(needed, " and ");
}

std::size_t RequiredCount(const CommandEntry& command) {
  std::size_t cRequired = 0;
  for (const ArgumentEntry& argument : command.arguments) {
    if (argument.pszNeeded != nullptr) ++cRequired;
  }
  return cRequired;
}

// Options first, then the fixed arguments, then the rest of the line, as typed and as split.
ParseResult ParseOptionsFirst(const CommandEntry& command, std::string_view line,
                              const std::vector<Token>& tokens) {
  ParseResult result;
  result.pCommand = &command;
  ParsedCommand& cmd = result.command;
  const OptionEntry* pOneArgument = nullptr;
  std::size_t i = 2;
  while (i < tokens.size() && IsOption(tokens[i].strText)) {
    const OptionEntry* pOption = FindOption(command, tokens[i].strText);
    std::string strError;
    if (pOption == nullptr) {
      if (command.bUnknownOptionIsArgument) break;
      // Read as the options before it are, each with its value (install's all take one): a
      // missing value is told first.
      std::string strValue;
      const std::string strOption = OptionName(tokens[i].strText);
      if (!TakeValue(tokens, &i, &strValue, &strError)) return Usage(strError);
      return Usage(command.pszName + std::string(" has no option ") + strOption);
    }
    if (!ReadOption(*pOption, tokens, &i, &cmd, &pOneArgument, &strError)) return Usage(strError);
  }
  if (i < tokens.size() && tokens[i].strText == kEndOfOptions) ++i;
  if (tokens.size() < i + RequiredCount(command)) return Usage(Needed(command));
  const ArgumentEntry& restEntry = command.arguments.back();
  for (const ArgumentEntry& argument : command.arguments.first(command.arguments.size() - 1)) {
    if (i < tokens.size()) cmd.*argument.pstrTarget = tokens[i++].strText;
  }
  if (i < tokens.size()) {
    cmd.rest.assign(tokens.begin() + static_cast<std::ptrdiff_t>(i), tokens.end());
    cmd.strRest = RawTail(line, tokens[i].nBegin);
  }
  if (pOneArgument != nullptr) {
    if (cmd.rest.size() != 1) {
      const char* pszRest =
          restEntry.pszNeeded != nullptr ? restEntry.pszNeeded : restEntry.pszUsage;
      return Usage(command.pszName + std::string(" ") + pOneArgument->pszName + " takes " +
                   pszRest + " as one argument");
    }
    cmd.strRest = cmd.rest[0].strText;
  }
  result.bOk = true;
  return result;
}

// The positional words, with the options anywhere among them until "--".
ParseResult ParseOptionsAnywhere(const CommandEntry& command, const std::vector<Token>& tokens) {
  ParseResult result;
  result.pCommand = &command;
  ParsedCommand& cmd = result.command;
  std::vector<std::string> words;
  bool bOptionsEnded = false;
  const OptionEntry* pOneArgument = nullptr;  // a rest only follows options first
  for (std::size_t i = 2; i < tokens.size();) {
    const std::string& strText = tokens[i].strText;
    if (strText == kEndOfOptions && !bOptionsEnded) {
      bOptionsEnded = true;
      ++i;
      continue;
    }
    if (bOptionsEnded || !IsOption(strText)) {
      words.push_back(strText);
      ++i;
      continue;
    }
    const OptionEntry* pOption = FindOption(command, strText);
    if (pOption == nullptr) {
      return Usage(command.pszName + std::string(" has no option ") + OptionName(strText));
    }
    std::string strError;
    if (!ReadOption(*pOption, tokens, &i, &cmd, &pOneArgument, &strError)) return Usage(strError);
  }
  if (words.size() < RequiredCount(command)) return Usage(Needed(command));
  if (words.size() > command.arguments.size()) {
    return Usage("too many arguments for " + std::string(command.pszName));
  }
  for (std::size_t n = 0; n < words.size(); ++n) {
    cmd.*command.arguments[n].pstrTarget = words[n];
  }
  result.bOk = true;
  return result;
}

}  // namespace

ParseResult ParseCommandLine(std::string_view line) {
  const std::vector<Token> tokens = SplitCommandLine(line);
  if (tokens.size() < 2) return Usage("no command given");
  const std::string& strFirst = tokens[1].strText;
  if (const CommandEntry* pSwitch = FindSwitch(strFirst)) {
    if (tokens.size() > 2) return Usage(strFirst + " takes nothing after it");
    ParseResult result;
    result.bOk = true;
    result.pCommand = pSwitch;
    return result;
  }
  const CommandEntry* pCommand = FindCommand(strFirst);
  if (pCommand == nullptr) return Usage("unknown command \"" + strFirst + "\"");
  return TakesOptionsFirst(*pCommand) ? ParseOptionsFirst(*pCommand, line, tokens)
                                      : ParseOptionsAnywhere(*pCommand, tokens);
}

}  // namespace qm::cli
