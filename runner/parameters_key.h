#pragma once
// A service's Parameters key as the source the settings' one parser reads: each value read
// whole, never more than the contract's cap, a REG_EXPAND_SZ value with its environment
// variables expanded.

#include <windows.h>

#include <string>

#include "common/win32_handles.h"
#include "runner/core/runner_settings.h"

namespace qm::runner {

class CParametersKey : public IValueSource {
 public:
  // Opens the key of the service for reading; false (kKeyUnreadable, naming the key's path
  // under HKEY_LOCAL_MACHINE) when it cannot.
  bool Open(const std::string& strServiceName, RunnerFailure* pFailure);
  std::uint32_t Read(const char* pszName, StoredValue* pValue) override;

 private:
  unique_hkey m_hKey;
};

}  // namespace qm::runner
