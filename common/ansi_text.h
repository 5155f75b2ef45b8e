#pragma once
// Texts of the ANSI code page widened as the system's own ...A entry points widen them, for
// the calls this program makes through a wide entry point.
#include <windows.h>

#include <string>
#include <string_view>

namespace qm {

// False, with the conversion's last error and *pWide empty, when the text cannot be
// converted; MB_ERR_INVALID_CHARS in dwFlags refuses bytes the code page does not define.
inline bool WidenAnsi(std::string_view text, std::wstring* pWide, DWORD dwFlags = 0) {
  pWide->clear();
  if (text.empty()) return true;
  const int cbText = static_cast<int>(text.size());
  const int cchWide = ::MultiByteToWideChar(CP_ACP, dwFlags, text.data(), cbText, nullptr, 0);
  if (cchWide <= 0) return false;
  pWide->resize(static_cast<std::size_t>(cchWide));
  if (::MultiByteToWideChar(CP_ACP, dwFlags, text.data(), cbText, pWide->data(), cchWide) !=
      cchWide) {
    pWide->clear();
    return false;
  }
  return true;
}

}  // namespace qm
