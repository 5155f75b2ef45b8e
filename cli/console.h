#pragma once
// Where the command line writes: whole lines of result to standard output, of failure to
// standard error.

#include <string>
#include <string_view>

namespace qm::cli {

class IConsole {
 public:
  virtual ~IConsole() = default;
  virtual void Out(std::string_view line) = 0;  // one line of result, no line break
  virtual void Err(std::string_view line) = 0;  // one line of failure, no line break
};

// A text of the window's on one line: its line breaks and the blanks around them become one
// blank.
std::string OneLine(std::string_view text);

}  // namespace qm::cli
