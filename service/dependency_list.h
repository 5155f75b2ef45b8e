#pragma once
// The Dependencies text ("Alpha;Beta") turned into the Service Control Manager's list form:
// each name ended by a NUL, the whole list by a further NUL. Empty entries are skipped.

#include <cstddef>

#include "platform/platform_handles.h"

namespace qm::svc {

// The commands speak the seam's words: its calls, handles, constants and owners.
using namespace qm::platform;

class CDependencyList {
 public:
  // Room for the longest Dependencies text (1023 characters) and two NULs.
  static constexpr std::size_t kFallbackCapacity = 1024 + 2;

  CDependencyList(ISystem& system, const char* text);
  // Not copied or moved: the list may point into the object itself.
  CDependencyList(const CDependencyList&) = delete;
  CDependencyList& operator=(const CDependencyList&) = delete;

  // The list, or null when the text is empty.
  const char* List() const { return m_pszList; }
  // Whether a platform block holds the list.
  bool OwnsBlock() const { return static_cast<bool>(m_block); }

 private:
  CGlobalBlock m_block;
  const char* m_pszList = nullptr;
  char m_szFallback[kFallbackCapacity] = {};
};

}  // namespace qm::svc
