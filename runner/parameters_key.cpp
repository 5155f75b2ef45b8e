#include "runner/parameters_key.h"

#include <vector>

namespace qm::runner {

bool CParametersKey::Open(const std::string& strServiceName, RunnerFailure* pFailure) {
  const std::string strPath = contract::ParametersKeyPath(strServiceName);
  const LSTATUS status =
      ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, strPath.c_str(), 0, KEY_READ, m_hKey.put());
  if (status == ERROR_SUCCESS) return true;
  *pFailure = {FailureKind::kKeyUnreadable, "", strPath, "", static_cast<std::uint32_t>(status)};
  return false;
}

std::uint32_t CParametersKey::Read(const char* pszName, StoredValue* pValue) {
  DWORD dwType = 0;
  DWORD dwBytes = 0;
  LSTATUS status = ::RegQueryValueExA(m_hKey.get(), pszName, nullptr, &dwType, nullptr, &dwBytes);
  if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
  if (dwBytes > contract::kMaxValueBytes) return ERROR_MORE_DATA;
  std::string data(dwBytes, '\0');
  status = ::RegQueryValueExA(m_hKey.get(), pszName, nullptr, &dwType,
                              reinterpret_cast<BYTE*>(data.data()), &dwBytes);
  // A value that grew since it was measured answers ERROR_MORE_DATA: refused, never cut.
  if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
  data.resize(dwBytes);
  if (dwType == REG_EXPAND_SZ) {
    const std::string strRaw = data.substr(0, data.find('\0'));
    const DWORD dwNeeded = ::ExpandEnvironmentStringsA(strRaw.c_str(), nullptr, 0);
    if (dwNeeded == 0) return ::GetLastError();
    if (dwNeeded > contract::kMaxValueBytes) return ERROR_MORE_DATA;
    std::vector<char> expanded(dwNeeded + 1, '\0');
    if (::ExpandEnvironmentStringsA(strRaw.c_str(), expanded.data(), dwNeeded + 1) == 0) {
      return ::GetLastError();
    }
    data = expanded.data();
    dwType = REG_SZ;
  }
  *pValue = {dwType, std::move(data)};
  return ERROR_SUCCESS;
}

}  // namespace qm::runner
