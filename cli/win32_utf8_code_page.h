#pragma once
// This system's ANSI code page against UTF-8.

#include "cli/utf8_code_page.h"

namespace qm::cli {

class CWin32Utf8CodePage : public IUtf8CodePage {
 public:
  bool FromAnsi(std::string_view ansi, std::string* pUtf8) override;
  bool ToAnsi(std::string_view utf8, std::string* pAnsi) override;
};

}  // namespace qm::cli
