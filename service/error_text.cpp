#include "service/error_text.h"

#include <cstdio>
#include <cstring>

namespace qm::svc {

char* GetSystemErrorText(ISystem& system, char* buffer, int capacity) {
  char* pszText = nullptr;
  const std::uint32_t dwError = system.GetLastError();
  // Inserts are ignored: no argument array is passed, so no insert value may ever be read
  // and any %1 markers stay in the text.
  const std::uint32_t dwFlags = kFormatMessageAllocateBuffer | kFormatMessageFromSystem |
                                kFormatMessageArgumentArray | kFormatMessageIgnoreInserts;
  const std::uint32_t dwChars = system.FormatMessage(dwFlags, dwError, 0, &pszText);
  if (capacity > 0) buffer[0] = '\0';
  // Room for the text and what the format adds: " (0x", at most eight hex digits, ")" and
  // the NUL make 14 characters (the text's closing line break, dropped below, is spare).
  if (dwChars != 0 && pszText != nullptr &&
      static_cast<long long>(capacity) >= static_cast<long long>(dwChars) + 14) {
    // Drop the closing carriage return and line feed; a shorter text is emptied.
    const std::size_t cchText = std::strlen(pszText);
    pszText[cchText >= 2 ? cchText - 2 : 0] = '\0';
    std::snprintf(buffer, static_cast<std::size_t>(capacity), "%s (0x%x)", pszText,
                  static_cast<unsigned>(dwError));
  }
  if (pszText != nullptr) system.FreeMessageText(pszText);
  return buffer;
}

}  // namespace qm::svc
