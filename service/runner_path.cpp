#include "service/runner_path.h"

#include <cstdio>
#include <cstring>

#include "contract/runner_contract.h"

namespace qm::svc {

bool MakeRunnerPath(const char* modulePath, char* buffer, std::size_t capacity) {
  if (capacity == 0) return false;
  buffer[0] = '\0';
  // Drive and folder: everything up to the last separator, or a bare "X:" drive.
  std::size_t cchFolder = 0;
  for (std::size_t i = 0; modulePath[i] != '\0'; ++i) {
    if (modulePath[i] == '\\' || modulePath[i] == '/') cchFolder = i + 1;
  }
  if (cchFolder == 0 && modulePath[0] != '\0' && modulePath[1] == ':') cchFolder = 2;
  const char* pszRunnerFile = contract::kRunnerFileName;
  const std::size_t cchPath = cchFolder + std::strlen(pszRunnerFile);
  bool bQuote = std::memchr(modulePath, ' ', cchFolder) != nullptr;
  const std::size_t cchResult = cchPath + (bQuote ? 2 : 0);
  if (cchResult + 1 > capacity) return false;
  std::snprintf(buffer, capacity, "%s%.*s%s%s", bQuote ? "\"" : "", static_cast<int>(cchFolder),
                modulePath, pszRunnerFile, bQuote ? "\"" : "");
  return true;
}

}  // namespace qm::svc
