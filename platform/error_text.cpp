#include "platform/error_text.h"

#include <cstring>

#include "common/error_line.h"

namespace qm::platform {

std::string SystemErrorText(ISystem& system, std::uint32_t dwError, int capacity) {
  char* pszText = nullptr;
  // Inserts are ignored: no argument array is passed, so no insert value may ever be read
  // and any %1 markers stay in the text.
  const std::uint32_t dwFlags = kFormatMessageAllocateBuffer | kFormatMessageFromSystem |
                                kFormatMessageArgumentArray | kFormatMessageIgnoreInserts;
  const std::uint32_t dwChars = system.FormatMessage(dwFlags, dwError, 0, &pszText);
  std::string strLine;
  // Room for the text and what the line adds: " (0x", at most eight hex digits, ")" and the
  // NUL make 14 characters (the text's closing line break, dropped, is spare).
  if (dwChars != 0 && pszText != nullptr &&
      static_cast<long long>(capacity) >= static_cast<long long>(dwChars) + 14) {
    strLine = SystemErrorLine(std::string_view(pszText, std::strlen(pszText)), dwError,
                              ErrorLineForm::kWindow);
  }
  if (pszText != nullptr) system.FreeMessageText(pszText);
  return strLine;
}

}  // namespace qm::platform
