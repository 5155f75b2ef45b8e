#pragma once
// A system error as one line: the system's text for the code without its line end, then the
// code in hexadecimal, "Access is denied. (0x5)". Platform-free: each caller fetches the
// system's text its own way (the window and the command line through their platform seam, the
// runner with common/system_message.h) and hands it over as the system gave it.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace qm {

enum class ErrorLineForm {
  // The window's, also the command line's: the system's text ends in "\r\n", cut as its last
  // two characters, as the window always has; no line at all when the system has no text.
  kWindow,
  // The event log's: every closing CR, LF and blank dropped; "error 0x5" without a text.
  kEventLog,
};

inline std::string SystemErrorLine(std::string_view systemText, std::uint32_t dwError,
                                   ErrorLineForm form) {
  char szCode[16];
  std::snprintf(szCode, sizeof(szCode), "0x%x", static_cast<unsigned>(dwError));
  if (form == ErrorLineForm::kWindow) {
    if (systemText.empty()) return {};
    systemText.remove_suffix(systemText.size() < 2 ? systemText.size() : 2);
  } else {
    while (!systemText.empty() &&
           (systemText.back() == '\n' || systemText.back() == '\r' || systemText.back() == ' ')) {
      systemText.remove_suffix(1);
    }
    if (systemText.empty()) return std::string("error ") + szCode;
  }
  return std::string(systemText) + " (" + szCode + ")";
}

}  // namespace qm
