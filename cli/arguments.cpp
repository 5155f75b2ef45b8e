#include "cli/arguments.h"

#include <cstdlib>

#include "common/ascii_case.h"
#include "common/runner_contract.h"

namespace qm::cli {

namespace {

struct VerbName {
  const char* pszWord;
  Verb verb;
};
constexpr VerbName kVerbs[] = {
    {"help", Verb::kHelp},     {"install", Verb::kInstall}, {"remove", Verb::kRemove},
    {"set", Verb::kSet},       {"get", Verb::kGet},         {"reset", Verb::kReset},
    {"start", Verb::kStart},   {"stop", Verb::kStop},       {"restart", Verb::kRestart},
    {"status", Verb::kStatus}, {"list", Verb::kList},       {"dump", Verb::kDump},
    {"rotate", Verb::kRotate}};

// "--" alone ends the options: every later argument is a name or a value, whatever it looks
// like.
constexpr const char* kEndOfOptions = "--";

bool IsOption(const std::string& strText) {
  return strText.size() > 2 && strText[0] == '-' && strText[1] == '-';
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

std::string OptionName(const std::string& strText) {
  return strText.substr(0, strText.find('='));
}

ParseResult Usage(std::string strError) {
  ParseResult result;
  result.strError = std::move(strError);
  return result;
}

bool ParseSeconds(const std::string& strText, std::uint32_t* seconds) {
  if (strText.empty() || strText.size() > 6) return false;
  for (char ch : strText) {
    if (ch < '0' || ch > '9') return false;
  }
  const unsigned long ul = std::strtoul(strText.c_str(), nullptr, 10);
  if (ul > kMaxTimeoutSeconds) return false;
  *seconds = static_cast<std::uint32_t>(ul);
  return true;
}

// install [options] <name> <program> [<arguments>...]: options first, then everything after
// the program is the program's, as typed.
ParseResult ParseInstall(std::string_view line, const std::vector<Token>& tokens, std::size_t i) {
  ParseResult result;
  ParsedCommand& cmd = result.command;
  cmd.verb = Verb::kInstall;
  while (i < tokens.size() && IsOption(tokens[i].strText)) {
    const std::string strOption = OptionName(tokens[i].strText);
    std::string strValue;
    std::string strError;
    if (!TakeValue(tokens, &i, &strValue, &strError)) return Usage(strError);
    if (strOption == "--display-name") {
      cmd.strDisplayName = strValue;
      cmd.bDisplayName = true;
    } else if (strOption == "--startup") {
      if (EqualsIgnoringCase(strValue, "auto")) {
        cmd.bAutoStart = true;
      } else if (EqualsIgnoringCase(strValue, "manual")) {
        cmd.bAutoStart = false;
      } else {
        return Usage("--startup takes auto or manual, not \"" + strValue + "\"");
      }
    } else if (strOption == "--depend") {
      cmd.strDependencies = strValue;
    } else if (strOption == "--dir") {
      cmd.strDirectory = strValue;
    } else {
      return Usage("install has no option " + strOption);
    }
  }
  if (i < tokens.size() && tokens[i].strText == kEndOfOptions) ++i;
  if (i + 2 > tokens.size()) return Usage("install needs a service name and a program");
  cmd.strName = tokens[i].strText;
  cmd.strProgram = tokens[i + 1].strText;
  if (i + 2 < tokens.size()) cmd.strArguments = RawTail(line, tokens[i + 2].nBegin);
  if (!cmd.bDisplayName) cmd.strDisplayName = cmd.strName;
  result.bOk = true;
  return result;
}

// set [--quoted] <name> <setting> <data...>: the data as typed and as split. With --quoted the
// data is one argument, its quotes removed: Arguments that begin or end with blanks, which a
// typed line cannot keep (dump writes them so).
ParseResult ParseSet(std::string_view line, const std::vector<Token>& tokens, std::size_t i) {
  ParseResult result;
  ParsedCommand& cmd = result.command;
  cmd.verb = Verb::kSet;
  const bool bQuoted = i < tokens.size() && tokens[i].strText == "--quoted";
  if (bQuoted) ++i;
  if (i < tokens.size() && tokens[i].strText == kEndOfOptions) ++i;
  if (i + 3 > tokens.size()) return Usage("set needs a service name, a setting and its data");
  if (bQuoted && i + 3 != tokens.size())
    return Usage("set --quoted takes its data as one argument");
  cmd.strName = tokens[i].strText;
  cmd.strSetting = tokens[i + 1].strText;
  cmd.data.assign(tokens.begin() + static_cast<std::ptrdiff_t>(i + 2), tokens.end());
  cmd.strRawData = bQuoted ? tokens[i + 2].strText : RawTail(line, tokens[i + 2].nBegin);
  result.bOk = true;
  return result;
}

}  // namespace

bool FindVerb(std::string_view word, Verb* verb) {
  for (const VerbName& entry : kVerbs) {
    if (word == entry.pszWord) {
      *verb = entry.verb;
      return true;
    }
  }
  return false;
}

ParseResult ParseCommandLine(std::string_view line) {
  const std::vector<Token> tokens = SplitCommandLine(line);
  if (tokens.size() < 2) return Usage("no command given");
  const std::string& strFirst = tokens[1].strText;

  ParseResult result;
  ParsedCommand& cmd = result.command;
  if (strFirst == "--help" || strFirst == "-h" || strFirst == "/?") {
    if (tokens.size() > 2) return Usage(strFirst + " takes nothing after it");
    result.bOk = true;
    return result;
  }
  if (strFirst == "--version") {
    if (tokens.size() > 2) return Usage("--version takes nothing after it");
    cmd.verb = Verb::kVersion;
    result.bOk = true;
    return result;
  }
  if (!FindVerb(strFirst, &cmd.verb)) return Usage("unknown command \"" + strFirst + "\"");
  if (cmd.verb == Verb::kInstall) return ParseInstall(line, tokens, 2);
  if (cmd.verb == Verb::kSet) return ParseSet(line, tokens, 2);

  // Every other command: its positional words, with its options anywhere among them.
  std::vector<std::string> words;
  bool bOptionsEnded = false;
  for (std::size_t i = 2; i < tokens.size();) {
    const std::string& strText = tokens[i].strText;
    const bool bControl = cmd.verb == Verb::kStart || cmd.verb == Verb::kStop ||
                          cmd.verb == Verb::kRestart || cmd.verb == Verb::kStatus;
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
    const std::string strOption = OptionName(strText);
    if (strOption == "--force" && cmd.verb == Verb::kRemove && strText == strOption) {
      cmd.bForce = true;
      ++i;
    } else if (strOption == "--no-wait" && bControl && strText == strOption) {
      cmd.bNoWait = true;
      ++i;
    } else if (strOption == "--timeout" && bControl) {
      std::string strValue;
      std::string strError;
      if (!TakeValue(tokens, &i, &strValue, &strError) ||
          !ParseSeconds(strValue, &cmd.dwTimeoutSeconds)) {
        return Usage("--timeout takes a number of seconds (0 to 86400)");
      }
    } else {
      return Usage(strFirst + " has no option " + strOption);
    }
  }

  std::size_t cMin = 1;
  std::size_t cMax = 1;
  switch (cmd.verb) {
    case Verb::kHelp:
      cMin = 0;
      break;
    case Verb::kList:
      cMin = cMax = 0;
      break;
    case Verb::kGet:
      cMax = 2;
      break;
    case Verb::kReset:
      cMin = cMax = 2;
      break;
    default:
      break;
  }
  if (words.size() < cMin)
    return Usage(strFirst + " needs a service name" +
                 (cmd.verb == Verb::kReset ? " and a setting" : ""));
  if (words.size() > cMax) return Usage("too many arguments for " + strFirst);
  if (!words.empty()) cmd.strName = words[0];
  if (words.size() > 1) cmd.strSetting = words[1];
  result.bOk = true;
  return result;
}

}  // namespace qm::cli
