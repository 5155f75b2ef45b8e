#include "cli/win32_utf8_code_page.h"

#include <windows.h>

#include "common/ansi_text.h"

namespace qm::cli {

namespace {

// ASCII is the same in both: most texts never reach a conversion.
bool IsAscii(std::string_view text) {
  for (char ch : text) {
    if (static_cast<unsigned char>(ch) >= 0x80) return false;
  }
  return true;
}

// wide in the code page; with bExact, false when a character has no place of its own there.
bool Narrow(const std::wstring& wide, UINT uCodePage, bool bExact, std::string* pText) {
  pText->clear();
  if (wide.empty()) return true;
  // UTF-8 holds every character, and takes neither the flag nor the question.
  const bool bAsk = bExact && uCodePage != CP_UTF8;
  const DWORD dwFlags = bAsk ? WC_NO_BEST_FIT_CHARS : 0;
  const int cchWide = static_cast<int>(wide.size());
  BOOL bDefaulted = FALSE;
  const int cbText = ::WideCharToMultiByte(uCodePage, dwFlags, wide.data(), cchWide, nullptr, 0,
                                           nullptr, bAsk ? &bDefaulted : nullptr);
  if (cbText <= 0 || bDefaulted) return false;
  pText->assign(static_cast<std::size_t>(cbText), '\0');
  const int cbDone = ::WideCharToMultiByte(uCodePage, dwFlags, wide.data(), cchWide, pText->data(),
                                           cbText, nullptr, bAsk ? &bDefaulted : nullptr);
  return cbDone == cbText && !bDefaulted;
}

}  // namespace

bool CWin32Utf8CodePage::FromAnsi(std::string_view ansi, std::string* pUtf8) {
  if (IsAscii(ansi)) {
    *pUtf8 = ansi;
    return true;
  }
  std::wstring wide;
  return WidenAnsi(ansi, &wide, MB_ERR_INVALID_CHARS) && Narrow(wide, CP_UTF8, false, pUtf8);
}

bool CWin32Utf8CodePage::ToAnsi(std::string_view utf8, std::string* pAnsi) {
  if (IsAscii(utf8)) {
    *pAnsi = utf8;
    return true;
  }
  const int cbUtf8 = static_cast<int>(utf8.size());
  const int cchWide =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), cbUtf8, nullptr, 0);
  if (cchWide <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(cchWide), L'\0');
  if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), cbUtf8, wide.data(),
                            cchWide) != cchWide) {
    return false;
  }
  return Narrow(wide, ::GetACP(), true, pAnsi);
}

}  // namespace qm::cli
