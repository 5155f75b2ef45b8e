#pragma once
// A service's Parameters key as the command line sees it: read through the registry seam as
// the runner's parser asks for each value, and edited in memory, so that an edit is judged by
// the runner's own parser and check before anything is written.

#include <map>
#include <set>
#include <string>

#include "cli/settings.h"
#include "platform/platform.h"
#include "platform/platform_handles.h"
#include "runner/core/runner_settings.h"

namespace qm::cli {

class CStoredParameters : public runner::IValueSource {
 public:
  CStoredParameters(platform::IRegistry& registry, platform::ISystem& system);

  // Opens the service's key for reading; the system's error, or 0.
  long Open(const std::string& strServiceName);
  std::uint32_t Read(const char* pszName, runner::StoredValue* pValue) override;

  // What later reads see instead of the stored value: a new one, or none (erased).
  void Set(const char* pszName, runner::StoredValue value);
  void Erase(const char* pszName);

 private:
  platform::IRegistry& m_registry;
  platform::ISystem& m_system;
  platform::CRegKey m_key;
  std::map<std::string, runner::StoredValue> m_edits;
  std::set<std::string> m_erased;
};

// Whether the runner, reading source at its start, would take the settings: its own parser and
// its own check; the first refusal in *pFailure otherwise.
bool RunnerWouldAccept(runner::IValueSource& source, runner::RunnerFailure* pFailure);

// The bytes a registry value of the runner's kind holds for a value's data.
runner::StoredValue DwordValue(std::uint32_t dwValue);
runner::StoredValue StringValue(const std::string& strText);
runner::StoredValue ListValue(const std::string& strEntries);  // entries each NUL-ended
// The registry value that the checked data of a runner value is written as.
runner::StoredValue StoredValueOf(const contract::RunnerValue& value, const SettingData& data);

}  // namespace qm::cli
