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

// Reads a REG_MULTI_SZ value: its strings up to the first empty one or the data's end, so a
// value stored without its closing NULs reads as its bytes.
DWORD ReadMultiString(HKEY hKey, const char* pszName, std::vector<std::string>& strings) {
  DWORD dwType = 0;
  DWORD dwBytes = 0;
  LSTATUS status = ::RegQueryValueExA(hKey, pszName, nullptr, &dwType, nullptr, &dwBytes);
  if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
  if (dwType != REG_MULTI_SZ) return ERROR_DATATYPE_MISMATCH;
  if (dwBytes > kMaxValueBytes) return ERROR_MORE_DATA;
  std::vector<char> buffer(dwBytes + 1, '\0');
  status = ::RegQueryValueExA(hKey, pszName, nullptr, &dwType,
                              reinterpret_cast<BYTE*>(buffer.data()), &dwBytes);
  if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
  if (dwType != REG_MULTI_SZ) return ERROR_DATATYPE_MISMATCH;
  strings.clear();
  std::size_t pos = 0;
  while (pos < dwBytes && buffer[pos] != '\0') {
    std::size_t length = strnlen(buffer.data() + pos, dwBytes - pos);
    strings.emplace_back(buffer.data() + pos, length);
    pos += length + 1;
  }
  return ERROR_SUCCESS;
}

// An optional value: its default when it is missing, a failure for anything else.
DWORD Optional(DWORD dwError) {
  return dwError == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : dwError;
}

bool Fail(ParametersFailure& failure, const char* pszValue, DWORD dwError) {
  failure.strValue = pszValue;
  failure.dwError = dwError;
  return false;
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

  // Restart policy, environment and priority; each keeps its default when missing.
  RunSettingValues& settings = params.settings;
  settings = {};
  for (const Required& value : {Required{value::kRestart, &settings.strRestart},
                                Required{value::kPriority, &settings.strPriority}}) {
    dwError = Optional(ReadString(hKey.get(), value.pszName, *value.pstrValue));
    if (dwError != ERROR_SUCCESS) return Fail(failure, value.pszName, dwError);
  }
  struct Number {
    const char* pszName;
    std::uint32_t* pdwValue;
  };
  for (const Number& value : {Number{value::kRestartDelay, &settings.dwRestartDelayMs},
                              Number{value::kRestartDelayMax, &settings.dwRestartDelayMaxMs},
                              Number{value::kRestartLimit, &settings.dwRestartLimit}}) {
    dwError = Optional(ReadDword(hKey.get(), value.pszName, *value.pdwValue));
    if (dwError != ERROR_SUCCESS) return Fail(failure, value.pszName, dwError);
  }
  dwError = Optional(ReadMultiString(hKey.get(), value::kEnvironment, settings.environment));
  if (dwError != ERROR_SUCCESS) return Fail(failure, value::kEnvironment, dwError);

  // Rotation and timestamps of the output files; each keeps its default when missing.
  OutputSettings& output = params.output;
  output = {};
  std::uint32_t dwDaily = output.bRotateDaily ? 1 : 0;
  std::uint32_t dwTimestamps = output.bTimestamps ? 1 : 0;
  for (const Number& value :
       {Number{value::kRotateBytes, &output.dwRotateBytes}, Number{value::kRotateDaily, &dwDaily},
        Number{value::kRotateKeep, &output.dwRotateKeep},
        Number{value::kTimestamps, &dwTimestamps}}) {
    dwError = Optional(ReadDword(hKey.get(), value.pszName, *value.pdwValue));
    if (dwError != ERROR_SUCCESS) return Fail(failure, value.pszName, dwError);
  }
  output.bRotateDaily = dwDaily != 0;
  output.bTimestamps = dwTimestamps != 0;
  return true;
}

}  // namespace qm::runner
