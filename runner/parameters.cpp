#include "runner/parameters.h"

#include <vector>

#include "common/win32_handles.h"

namespace qm::runner {

namespace {

namespace value = contract::value;

// Values are capped well above anything a command line can use; a larger value is refused
// rather than read into an unbounded buffer.
constexpr DWORD kMaxValueBytes = 64 * 1024;

// Reads a REG_SZ or REG_EXPAND_SZ value, expanding the latter. Stored data need not end in a
// NUL, so the text is cut at the first NUL or at the data's end, whichever comes first.
DWORD ReadString(HKEY hKey, const char* pszName, std::string& strValue) {
  DWORD dwType = 0;
  DWORD dwBytes = 0;
  LSTATUS status = ::RegQueryValueExA(hKey, pszName, nullptr, &dwType, nullptr, &dwBytes);
  if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
  if (dwType != REG_SZ && dwType != REG_EXPAND_SZ) return ERROR_DATATYPE_MISMATCH;
  if (dwBytes > kMaxValueBytes) return ERROR_MORE_DATA;
  std::vector<char> buffer(dwBytes + 1, '\0');
  status = ::RegQueryValueExA(hKey, pszName, nullptr, &dwType,
                              reinterpret_cast<BYTE*>(buffer.data()), &dwBytes);
  if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
  if (dwType != REG_SZ && dwType != REG_EXPAND_SZ) return ERROR_DATATYPE_MISMATCH;
  std::string strRaw(buffer.data(), strnlen(buffer.data(), dwBytes));
  if (dwType == REG_SZ) {
    strValue = std::move(strRaw);
    return ERROR_SUCCESS;
  }
  DWORD dwNeeded = ::ExpandEnvironmentStringsA(strRaw.c_str(), nullptr, 0);
  if (dwNeeded == 0) return ::GetLastError();
  if (dwNeeded > kMaxValueBytes) return ERROR_MORE_DATA;
  std::vector<char> expanded(dwNeeded + 1, '\0');
  if (::ExpandEnvironmentStringsA(strRaw.c_str(), expanded.data(), dwNeeded + 1) == 0) {
    return ::GetLastError();
  }
  strValue = expanded.data();
  return ERROR_SUCCESS;
}

DWORD ReadDword(HKEY hKey, const char* pszName, std::uint32_t& dwValue) {
  DWORD dwType = 0;
  DWORD dwData = 0;
  DWORD dwBytes = sizeof(dwData);
  LSTATUS status = ::RegQueryValueExA(hKey, pszName, nullptr, &dwType,
                                      reinterpret_cast<BYTE*>(&dwData), &dwBytes);
  if (status == ERROR_MORE_DATA) return ERROR_DATATYPE_MISMATCH;
  if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
  if (dwType != REG_DWORD || dwBytes != sizeof(dwData)) return ERROR_DATATYPE_MISMATCH;
  dwValue = dwData;
  return ERROR_SUCCESS;
}

bool Fail(ParametersFailure& failure, const char* pszValue, DWORD dwError) {
  failure.strValue = pszValue;
  failure.dwError = dwError;
  return false;
}

// RotateBytes, RotateDaily, RotateKeep and Timestamps: optional, with their defaults.
bool ReadOutputSettings(HKEY hKey, OutputSettings& output, ParametersFailure& failure) {
  struct Optional {
    const char* pszName;
    std::uint32_t dwDefault;
    std::uint32_t dwValue;
  };
  Optional values[] = {{value::kRotateBytes, contract::kDefaultRotateBytes, 0},
                       {value::kRotateDaily, contract::kDefaultRotateDaily, 0},
                       {value::kRotateKeep, contract::kDefaultRotateKeep, 0},
                       {value::kTimestamps, contract::kDefaultTimestamps, 0}};
  for (Optional& optional : values) {
    DWORD dwError = ReadDword(hKey, optional.pszName, optional.dwValue);
    if (dwError == ERROR_FILE_NOT_FOUND) {
      optional.dwValue = optional.dwDefault;
    } else if (dwError != ERROR_SUCCESS) {
      return Fail(failure, optional.pszName, dwError);
    }
  }
  output.dwRotateBytes = values[0].dwValue;
  output.bRotateDaily = values[1].dwValue != 0;
  output.dwRotateKeep = values[2].dwValue;
  output.bTimestamps = values[3].dwValue != 0;
  return true;
}

}  // namespace

bool ReadRunParameters(const char* pszServiceName, RunParameters& params,
                       ParametersFailure& failure) {
  failure = {};
  failure.strKeyPath = ParametersKeyPath(pszServiceName);
  unique_hkey hKey;
  LSTATUS status =
      ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, failure.strKeyPath.c_str(), 0, KEY_READ, hKey.put());
  if (status != ERROR_SUCCESS) return Fail(failure, "", static_cast<DWORD>(status));

  struct Required {
    const char* pszName;
    std::string* pstrValue;
  };
  for (const Required& value : {Required{value::kRunfile, &params.strRunfile},
                                Required{value::kArguments, &params.strArguments},
                                Required{value::kDirectory, &params.strDirectory}}) {
    DWORD dwError = ReadString(hKey.get(), value.pszName, *value.pstrValue);
    if (dwError != ERROR_SUCCESS) return Fail(failure, value.pszName, dwError);
  }

  DWORD dwError = ReadDword(hKey.get(), value::kStopTimeout, params.dwStopTimeoutMs);
  if (dwError == ERROR_FILE_NOT_FOUND) {
    params.dwStopTimeoutMs = kDefaultStopTimeoutMs;
  } else if (dwError != ERROR_SUCCESS) {
    return Fail(failure, value::kStopTimeout, dwError);
  }
  for (const Required& value :
       {Required{value::kStdout, &params.strStdout}, Required{value::kStderr, &params.strStderr}}) {
    dwError = ReadString(hKey.get(), value.pszName, *value.pstrValue);
    if (dwError == ERROR_FILE_NOT_FOUND) {
      value.pstrValue->clear();
    } else if (dwError != ERROR_SUCCESS) {
      return Fail(failure, value.pszName, dwError);
    }
  }
  return ReadOutputSettings(hKey.get(), params.output, failure);
}

}  // namespace qm::runner
