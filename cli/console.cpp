#include "cli/console.h"

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

}  // namespace qm::cli
