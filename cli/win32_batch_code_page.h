#pragma once
// The batch code page of this system: ANSI texts converted into the OEM code page.

#include "cli/batch_code_page.h"

namespace qm::cli {

class CWin32BatchCodePage : public IBatchCodePage {
 public:
  bool FromAnsi(std::string_view ansi, std::string* pText) override;
};

}  // namespace qm::cli
