#include "cli/stored_parameters.h"

#include <cstring>

namespace qm::cli {

CStoredParameters::CStoredParameters(platform::IRegistry& registry, platform::ISystem& system)
    : m_registry(registry), m_system(system) {}

long CStoredParameters::Open(const std::string& strServiceName) {
  platform::Handle hKey = platform::kNoHandle;
  const long lResult = m_registry.OpenKey(platform::kHKeyLocalMachine,
                                          contract::ParametersKeyPath(strServiceName).c_str(), 0,
                                          platform::kKeyRead, &hKey);
  if (lResult == platform::kErrorSuccess) m_key = platform::OwnKey(m_registry, m_system, hKey);
  return lResult;
}

std::uint32_t CStoredParameters::Read(const char* pszName, runner::StoredValue* pValue) {
  if (m_erased.count(pszName) != 0) return runner::kErrorFileNotFound;
  auto it = m_edits.find(pszName);
  if (it != m_edits.end()) {
    *pValue = it->second;
    return 0;
  }
  if (!m_key) return runner::kErrorFileNotFound;
  // One byte more than the runner reads: a longer value is told apart and refused.
  std::string data(contract::kMaxValueBytes + 1, '\0');
  auto cbData = static_cast<std::uint32_t>(data.size());
  std::uint32_t dwType = 0;
  const long lResult = m_registry.QueryValue(
      m_key.get(), pszName, &dwType, reinterpret_cast<unsigned char*>(data.data()), &cbData);
  if (lResult != platform::kErrorSuccess) return static_cast<std::uint32_t>(lResult);
  data.resize(cbData);
  *pValue = {dwType, std::move(data)};
  return 0;
}

void CStoredParameters::Set(const char* pszName, runner::StoredValue value) {
  m_erased.erase(pszName);
  m_edits[pszName] = std::move(value);
}

void CStoredParameters::Erase(const char* pszName) {
  m_edits.erase(pszName);
  m_erased.insert(pszName);
}

bool RunnerWouldAccept(runner::IValueSource& source, runner::RunnerFailure* pFailure) {
  runner::RunnerSettings settings;
  return runner::ReadRunnerSettings(source, &settings, pFailure) &&
         runner::CheckRunnerSettings(settings, pFailure);
}

runner::StoredValue DwordValue(std::uint32_t dwValue) {
  std::string data(sizeof(dwValue), '\0');
  std::memcpy(data.data(), &dwValue, sizeof(dwValue));
  return {runner::kRegDword, std::move(data)};
}

runner::StoredValue StringValue(const std::string& strText) {
  return {runner::kRegSz, strText + '\0'};
}

runner::StoredValue ListValue(const std::string& strEntries) {
  return {runner::kRegMultiSz, strEntries + '\0'};
}

runner::StoredValue StoredValueOf(const contract::RunnerValue& value, const SettingData& data) {
  switch (value.type) {
    case contract::ValueType::kDword:
      return DwordValue(data.dwValue);
    case contract::ValueType::kMultiString:
      return ListValue(data.strList);
    case contract::ValueType::kString:
      break;
  }
  return StringValue(data.strText);
}

}  // namespace qm::cli
