#include "runner/core/output_match.h"

namespace qm::runner {

bool COutputMatch::Feed(std::string_view data) {
  bool bFound = false;
  while (!data.empty()) {
    const std::size_t nEnd = data.find('\n');
    const std::string_view piece = data.substr(0, nEnd);
    if (!m_bLineCounted && !m_strText.empty()) {
      const std::string strLook = m_strTail + std::string(piece);
      if (strLook.find(m_strText) != std::string::npos) {
        m_bLineCounted = bFound = true;
      }
      const std::size_t nKeep = m_strText.size() - 1;
      m_strTail = strLook.size() > nKeep ? strLook.substr(strLook.size() - nKeep) : strLook;
    }
    if (nEnd == std::string_view::npos) break;
    m_strTail.clear();
    m_bLineCounted = false;
    data.remove_prefix(nEnd + 1);
  }
  return bFound;
}

}  // namespace qm::runner
