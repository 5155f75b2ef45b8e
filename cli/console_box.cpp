#include "cli/console_box.h"

#include <cstdio>
#include <cstring>

namespace qm::cli {

std::string OneLine(std::string_view text) {
  std::string strLine;
  bool bPendingBlank = false;
  for (char ch : text) {
    if (ch == '\n' || ch == '\r' || ch == ' ' || ch == '\t') {
      bPendingBlank = !strLine.empty();
      continue;
    }
    if (bPendingBlank) strLine.push_back(' ');
    bPendingBlank = false;
    strLine.push_back(ch);
  }
  return strLine;
}

void CConsoleMessageBox::Reset(bool bForce) {
  m_bForce = bForce;
  m_bFailed = false;
  m_bSucceeded = false;
}

int CConsoleMessageBox::Show(const char* text, const char* caption, std::uint32_t style) {
  const std::string_view strCaption = caption;
  if ((style & 0xF) == svc::kMbYesNo) {
    // The command itself is the first answer; the sterner question needs --force.
    if (strCaption != "Please Reconfirm" || m_bForce) return svc::kIdYes;
    m_console.Err(
        "The service was not installed by Quillmont, or it is disabled or a driver: not removed. "
        "Add --force to remove it all the same.");
    m_bFailed = true;
    return svc::kIdNo;
  }
  if (strCaption == "Success" || strCaption == "Success!") {
    m_console.Out(OneLine(text));
    m_bSucceeded = true;
  } else {
    m_console.Err(OneLine(text));
    m_bFailed = true;
  }
  return 1;  // IDOK
}

void CRequestForm::ReadField(int id, char* buffer, int capacity) {
  if (capacity <= 0) return;
  auto it = m_fields.find(id);
  std::snprintf(buffer, static_cast<std::size_t>(capacity), "%s",
                it == m_fields.end() ? "" : it->second.c_str());
}

}  // namespace qm::cli
