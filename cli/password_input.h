#pragma once
// Where set takes a user account's password from when it is not typed after the account, where
// every user of the machine can read it in the process's command line: standard input
// (--password-stdin), or a prompt on the console that does not echo. The Win32 implementation
// is cli/win32_password_input.h; the tests script a fake.

#include <string>

namespace qm::cli {

class IPasswordInput {
 public:
  virtual ~IPasswordInput() = default;
  // One line of standard input without its line end; false when there is none.
  virtual bool ReadStandardInputLine(std::string* pLine) = 0;
  // Whether standard input is a console, where someone can answer a prompt.
  virtual bool StandardInputIsConsole() = 0;
  // Shows the prompt and reads one line at the console, its echo off; false when there is none.
  virtual bool ReadHidden(const std::string& strPrompt, std::string* pLine) = 0;
};

}  // namespace qm::cli
