#include "service/registry_store.h"

#include <cstring>

#include "platform/platform_handles.h"

namespace qm::svc {

namespace {

// The registry returns its reason instead of setting the last error. The install summary
// renders the last error after a failed write, so hand the reason on; otherwise the summary
// would name whatever unrelated call failed before.
bool Failed(ISystem& system, long lResult) {
  system.SetLastError(static_cast<std::uint32_t>(lResult));
  return false;
}

}  // namespace

bool RegisteredServiceList::Contains(const char* name) const {
  for (const std::string& strName : m_names) {
    if (strName == name) return true;
  }
  return false;
}

Handle OpenKeyForRead(IRegistry& registry, Handle root, const char* path) {
  Handle hKey = kNoHandle;
  if (registry.OpenKey(root, path, 0, kKeyRead, &hKey) != kErrorSuccess) return kNoHandle;
  return hKey;
}

bool ReadRegString(IRegistry& registry, ISystem& system, char* buffer, std::uint32_t* size,
                   Handle root, const char* path, const char* valueName) {
  Handle hRaw = kNoHandle;
  if (registry.OpenKey(root, path, 0, kKeyRead, &hRaw) != kErrorSuccess) return false;
  CRegKey key = OwnKey(registry, system, hRaw);
  std::uint32_t dwType = 0;
  const long lResult = registry.QueryValue(key.get(), valueName, &dwType,
                                           reinterpret_cast<unsigned char*>(buffer), size);
  return lResult == kErrorSuccess && (dwType == kRegSz || dwType == kRegExpandSz);
}

bool WriteRegString(IRegistry& registry, ISystem& system, const char* data, std::uint32_t byteCount,
                    Handle root, const char* path, const char* valueName) {
  Handle hRaw = kNoHandle;
  const long lOpen = registry.OpenKey(root, path, 0, kKeyWrite, &hRaw);
  if (lOpen != kErrorSuccess) return Failed(system, lOpen);
  CRegKey key = OwnKey(registry, system, hRaw);
  const long lResult = registry.SetValue(key.get(), valueName, kRegSz,
                                         reinterpret_cast<const unsigned char*>(data), byteCount);
  return lResult == kErrorSuccess || Failed(system, lResult);
}

bool CreateRegKey(IRegistry& registry, ISystem& system, Handle root, const char* path) {
  Handle hRaw = kNoHandle;
  std::uint32_t dwDisposition = 0;
  const long lResult = registry.CreateKey(root, path, kParametersKeyClass, kRegOptionNonVolatile,
                                          kKeyAllAccess, &hRaw, &dwDisposition);
  if (lResult != kErrorSuccess) return Failed(system, lResult);
  OwnKey(registry, system, hRaw);  // closed at once
  return true;
}

}  // namespace qm::svc
