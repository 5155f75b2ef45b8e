#include "platform/win32_platform.h"

namespace qm::platform {

namespace {
HKEY ToKey(Handle h) {
  return reinterpret_cast<HKEY>(h);
}
Handle FromKey(HKEY h) {
  return reinterpret_cast<Handle>(h);
}
}  // namespace

long CWin32Registry::OpenKey(Handle root, const char* path, std::uint32_t options,
                             std::uint32_t access, Handle* key) {
  HKEY hKey = nullptr;
  const LONG lResult = ::RegOpenKeyExA(ToKey(root), path, options, access, &hKey);
  *key = lResult == ERROR_SUCCESS ? FromKey(hKey) : kNoHandle;
  return lResult;
}

long CWin32Registry::CreateKey(Handle root, const char* path, const char* className,
                               std::uint32_t options, std::uint32_t access, Handle* key,
                               std::uint32_t* disposition) {
  HKEY hKey = nullptr;
  DWORD dwDisposition = 0;
  const LONG lResult = ::RegCreateKeyExA(ToKey(root), path, 0, const_cast<char*>(className),
                                         options, access, nullptr, &hKey, &dwDisposition);
  *key = lResult == ERROR_SUCCESS ? FromKey(hKey) : kNoHandle;
  if (disposition != nullptr) *disposition = dwDisposition;
  return lResult;
}

long CWin32Registry::EnumKey(Handle key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                             char* className, std::uint32_t* classSize) {
  DWORD cbName = *nameSize;
  DWORD cbClass = classSize != nullptr ? *classSize : 0;
  FILETIME ftLastWrite = {};
  const LONG lResult = ::RegEnumKeyExA(ToKey(key), index, name, &cbName, nullptr, className,
                                       classSize != nullptr ? &cbClass : nullptr, &ftLastWrite);
  *nameSize = cbName;
  if (classSize != nullptr) *classSize = cbClass;
  return lResult;
}

long CWin32Registry::QueryValue(Handle key, const char* valueName, std::uint32_t* type,
                                unsigned char* data, std::uint32_t* dataSize) {
  DWORD dwType = 0;
  DWORD cbData = dataSize != nullptr ? *dataSize : 0;
  const LONG lResult = ::RegQueryValueExA(ToKey(key), valueName, nullptr, &dwType, data,
                                          dataSize != nullptr ? &cbData : nullptr);
  if (type != nullptr) *type = dwType;
  if (dataSize != nullptr) *dataSize = cbData;
  return lResult;
}

long CWin32Registry::SetValue(Handle key, const char* valueName, std::uint32_t type,
                              const unsigned char* data, std::uint32_t dataSize) {
  return ::RegSetValueExA(ToKey(key), valueName, 0, type, data, dataSize);
}

long CWin32Registry::CloseKey(Handle key) {
  return ::RegCloseKey(ToKey(key));
}

long CWin32Registry::DeleteValue(Handle key, const char* valueName) {
  return ::RegDeleteValueA(ToKey(key), valueName);
}

}  // namespace qm::platform
