#pragma once
// The code page cmd reads a batch file in: the console's, the OEM code page unless chcp changed
// it. The tool's texts are ANSI (the ...A calls), so dump writes its script through this. The
// Win32 implementation is cli/win32_batch_code_page.h; the tests script a fake.

#include <string>
#include <string_view>

namespace qm::cli {

class IBatchCodePage {
 public:
  virtual ~IBatchCodePage() = default;
  // ansi in the batch code page; false when a character has no place of its own there (cmd
  // would read another one back) or is one the script's byte-wise escaping cannot handle.
  virtual bool FromAnsi(std::string_view ansi, std::string* pText) = 0;
};

}  // namespace qm::cli
