#include "framework/res_string.h"

#include <vector>

#include "framework/app.h"

namespace qm::fw {

std::string LoadResString(UINT nId) {
  // LoadStringA cannot report the length, so grow until the text fits with room to spare.
  for (int nCapacity = 256; nCapacity <= 65536; nCapacity *= 4) {
    std::vector<char> buffer(static_cast<size_t>(nCapacity), '\0');
    int nLength = ::LoadStringA(GetResourceHandle(), nId, buffer.data(), nCapacity);
    if (nLength <= 0) return {};
    if (nLength < nCapacity - 1) return std::string(buffer.data(), static_cast<size_t>(nLength));
  }
  return {};
}

}  // namespace qm::fw
