#pragma once
// The Windows command line as the runtime splits it into arguments, with the place of each
// argument in the raw text, so that a command can hand on the rest of its line verbatim.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qm::cli {

struct Token {
  std::string strText;  // the argument after quote and backslash processing
  std::size_t nBegin;   // its first character in the raw line
};

// Splits a whole command line, program name first. The program name ends at its closing
// quote or at the first blank, with no escapes; every later argument follows the runtime's
// rules: blanks and tabs separate outside quotes, 2n backslashes before a quote give n and
// toggle quoting, 2n+1 give n and a literal quote, and "" inside quotes is a literal quote.
std::vector<Token> SplitCommandLine(std::string_view line);

// The raw text from position nBegin to the end of the line, without trailing blanks.
std::string RawTail(std::string_view line, std::size_t nBegin);

// One argument written so that SplitCommandLine gives it back unchanged.
std::string QuoteArgument(std::string_view text);

// Whether text can stand on one line of a batch file: no line break, which would end the line
// there and run the rest as a command of its own, and no other control character (NUL, Ctrl+Z)
// that cmd may read otherwise. Tabs are kept.
bool FitsOnBatchLine(std::string_view text);

// One line (see FitsOnBatchLine) made safe for a cmd.exe batch file: metacharacters outside
// quotes get a caret and every percent sign is doubled, so cmd hands the program the line as
// given. The batch file must turn delayed expansion off (setlocal DisableDelayedExpansion):
// with it on, cmd would take !x! as a variable.
std::string EscapeForBatch(std::string_view line);

}  // namespace qm::cli
