#pragma once
// apply's file and environment variables on this system.

#include "cli/apply_input.h"

namespace qm::cli {

class CWin32ApplyInput : public IApplyInput {
 public:
  std::uint32_t ReadFile(const std::string& strPath, std::size_t cbMax,
                         std::string* pData) override;
  bool GetVariable(const std::string& strName, std::string* pValue) override;
};

}  // namespace qm::cli
