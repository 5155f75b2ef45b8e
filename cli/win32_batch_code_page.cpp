#include "cli/win32_batch_code_page.h"

#include <windows.h>

#include "common/ansi_text.h"

namespace qm::cli {

bool CWin32BatchCodePage::FromAnsi(std::string_view ansi, std::string* pText) {
  bool bAscii = true;
  for (char ch : ansi) bAscii = bAscii && static_cast<unsigned char>(ch) < 0x80;
  if (bAscii) {
    *pText = ansi;
    return true;
  }
  // In a code page of two-byte characters a second byte may be a backslash, a quote or a caret,
  // which the script's escaping would take for one.
  CPINFO info = {};
  if (!::GetCPInfo(CP_OEMCP, &info) || info.MaxCharSize != 1 || !::GetCPInfo(CP_ACP, &info) ||
      info.MaxCharSize != 1) {
    return false;
  }
  std::wstring wide;
  if (!WidenAnsi(ansi, &wide, MB_ERR_INVALID_CHARS)) return false;
  const int cchWide = static_cast<int>(wide.size());
  // No best fit: a character the OEM code page lacks must not come back as a look-alike.
  BOOL bDefaulted = FALSE;
  const int cbText = ::WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, wide.data(), cchWide,
                                           nullptr, 0, nullptr, &bDefaulted);
  if (cbText <= 0 || bDefaulted) return false;
  pText->assign(static_cast<std::size_t>(cbText), '\0');
  ::WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, wide.data(), cchWide, pText->data(), cbText,
                        nullptr, &bDefaulted);
  return !bDefaulted;
}

}  // namespace qm::cli
