#include "runner/event_log.h"

#include "common/error_line.h"
#include "common/system_message.h"
#include "common/win32_handles.h"
#include "contract/runner_contract.h"

namespace qm::runner {

namespace {

constexpr const char* kSourceName = contract::kEventSource;
constexpr const char* kSourceKey = contract::kEventSourceKeyPath;

}  // namespace

void RegisterEventSourceOnce() {
  unique_hkey hKey;
  DWORD dwDisposition = 0;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSourceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, hKey.put(),
                        &dwDisposition) != ERROR_SUCCESS) {
    return;
  }
  if (::RegQueryValueExA(hKey.get(), "EventMessageFile", nullptr, nullptr, nullptr, nullptr) ==
      ERROR_SUCCESS) {
    return;  // an administrator's (or an earlier run's) registration stays as it is
  }
  char szPath[MAX_PATH];
  DWORD dwLength = ::GetModuleFileNameA(nullptr, szPath, sizeof(szPath));
  if (dwLength == 0 || dwLength >= sizeof(szPath)) return;
  ::RegSetValueExA(hKey.get(), "EventMessageFile", 0, REG_EXPAND_SZ,
                   reinterpret_cast<const BYTE*>(szPath), dwLength + 1);
  DWORD dwTypes = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  ::RegSetValueExA(hKey.get(), "TypesSupported", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&dwTypes), sizeof(dwTypes));
}

void WriteEvent(WORD wType, DWORD dwMessageId, std::initializer_list<const char*> strings) {
  unique_event_source hSource(::RegisterEventSourceA(nullptr, kSourceName));
  if (!hSource) return;
  const char* apszStrings[8] = {};
  WORD wCount = 0;
  for (const char* psz : strings) {
    if (wCount == 8) break;
    apszStrings[wCount++] = psz ? psz : "";
  }
  ::ReportEventA(hSource.get(), wType, 0, dwMessageId, nullptr, wCount, 0, apszStrings, nullptr);
}

std::string SystemErrorText(DWORD dwError) {
  return SystemErrorLine(SystemMessageText(dwError), dwError, ErrorLineForm::kEventLog);
}

}  // namespace qm::runner
