#pragma once
// Between the system's ANSI code page, in which the tool keeps names and values (the ...A
// calls), and UTF-8, in which JSON holds them: export, apply and the --json outputs convert
// every text through this. The Win32 implementation is cli/win32_utf8_code_page.h; the tests
// script a fake.

#include <string>
#include <string_view>

namespace qm::cli {

class IUtf8CodePage {
 public:
  virtual ~IUtf8CodePage() = default;
  // ansi as UTF-8; false when it holds bytes that are no character of the ANSI code page.
  virtual bool FromAnsi(std::string_view ansi, std::string* pUtf8) = 0;
  // utf8 in the ANSI code page; false when a character has no place of its own there (it would
  // be stored as a look-alike or a question mark).
  virtual bool ToAnsi(std::string_view utf8, std::string* pAnsi) = 0;
};

}  // namespace qm::cli
