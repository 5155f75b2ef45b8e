#pragma once
// A user account's password from this process's standard input or console.

#include "cli/password_input.h"

namespace qm::cli {

class CWin32PasswordInput : public IPasswordInput {
 public:
  bool ReadStandardInputLine(std::string* pLine) override;
  bool StandardInputIsConsole() override;
  bool ReadHidden(const std::string& strPrompt, std::string* pLine) override;
};

}  // namespace qm::cli
