#pragma once
// What apply reads besides the services: its file, and the environment variables that hold
// the accounts' passwords. The Win32 implementation is cli/win32_apply_input.h; the tests
// script a fake.

#include <cstddef>
#include <cstdint>
#include <string>

namespace qm::cli {

// The system's error for a file larger than a reader takes (ERROR_FILE_TOO_LARGE).
inline constexpr std::uint32_t kErrorFileTooLarge = 223;

class IApplyInput {
 public:
  virtual ~IApplyInput() = default;
  // The whole file; 0, or the system's error (kErrorFileTooLarge above cbMax bytes).
  virtual std::uint32_t ReadFile(const std::string& strPath, std::size_t cbMax,
                                 std::string* pData) = 0;
  // The variable of the process's environment; false when it is not set.
  virtual bool GetVariable(const std::string& strName, std::string* pValue) = 0;
};

}  // namespace qm::cli
