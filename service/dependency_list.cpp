#include "service/dependency_list.h"

#include <cstring>

namespace qm::svc {

CDependencyList::CDependencyList(ISystem& system, const char* text) {
  // Text without any name (empty, or semicolons alone) gives no list at all.
  if (text == nullptr || text[std::strspn(text, ";")] == '\0') return;
  const std::size_t cchText = std::strlen(text);
  m_block = AllocGlobalBlock(system, cchText + 2);
  if (m_block) {
    // Empty entries ("A;;B", ";A") are skipped: the Service Control Manager reads an empty
    // name as the end of the list and would drop every name after it.
    char* pszList = static_cast<char*>(m_block.get());
    std::memset(pszList, 0, cchText + 2);
    std::size_t cchOut = 0;
    for (std::size_t i = 0; i < cchText; ++i) {
      if (text[i] != ';') {
        pszList[cchOut++] = text[i];
      } else if (cchOut > 0 && pszList[cchOut - 1] != '\0') {
        pszList[cchOut++] = '\0';
      }
    }
    m_pszList = pszList;
    return;
  }
  // Without memory the text goes on unconverted, semicolons included, as one name; copied
  // here so that the list still ends in two NULs and nothing past the text is read.
  const std::size_t cchCopy = cchText < kFallbackCapacity - 2 ? cchText : kFallbackCapacity - 2;
  std::memcpy(m_szFallback, text, cchCopy);
  m_szFallback[cchCopy] = '\0';
  m_szFallback[cchCopy + 1] = '\0';
  m_pszList = m_szFallback;
}

}  // namespace qm::svc
