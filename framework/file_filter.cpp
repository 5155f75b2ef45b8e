#include "framework/file_filter.h"

namespace qm::fw {

std::string ConvertFilter(const char* pszFilter) {
  std::string strFilter = pszFilter != nullptr ? pszFilter : "";
  for (char& ch : strFilter) {
    if (ch == '|') ch = '\0';
  }
  // std::string keeps its own NUL after size(): make sure two NULs end the list either way.
  while (strFilter.size() < 2 || strFilter[strFilter.size() - 1] != '\0' ||
         strFilter[strFilter.size() - 2] != '\0') {
    strFilter.push_back('\0');
  }
  return strFilter;
}

}  // namespace qm::fw
