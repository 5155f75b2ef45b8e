#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/ansi_text.h"
#include "platform/win32_platform.h"

namespace qm::platform {

namespace {

SC_HANDLE ToSc(Handle h) {
  return reinterpret_cast<SC_HANDLE>(h);
}
Handle FromSc(SC_HANDLE h) {
  return reinterpret_cast<Handle>(h);
}

// An argument of the seam widened; a null one stays null (see opt below) and widens to nothing.
bool Widen(const char* text, std::wstring* wide) {
  if (text != nullptr) return WidenAnsi(text, wide);
  wide->clear();
  return true;
}

// The dependency list converted name by name, keeping its double-NUL form.
bool WidenList(const char* list, std::wstring* wide) {
  wide->clear();
  std::wstring wstrName;
  for (const char* pszName = list; *pszName != '\0';
       pszName += std::char_traits<char>::length(pszName) + 1) {
    if (!Widen(pszName, &wstrName)) return false;
    wide->append(wstrName);
    wide->push_back(L'\0');
  }
  wide->push_back(L'\0');
  return true;
}

}  // namespace

Handle CWin32ServiceManager::OpenSCManager(const char* machine, const char* database,
                                           std::uint32_t access) {
  return FromSc(::OpenSCManagerA(machine, database, access));
}

// The ANSI entry point is the wide one after a conversion from the ANSI code page; making
// that conversion here (every string, the dependency list name by name) gives the same call
// and keeps every dependency on systems whose ANSI entry point keeps only the first.
Handle CWin32ServiceManager::CreateService(Handle manager, const CreateServiceArgs& args) {
  std::wstring wstrName, wstrDisplay, wstrPath, wstrGroup, wstrDeps, wstrStartName, wstrPassword;
  if (!Widen(args.serviceName, &wstrName) || !Widen(args.displayName, &wstrDisplay) ||
      !Widen(args.binaryPathName, &wstrPath) || !Widen(args.loadOrderGroup, &wstrGroup) ||
      !Widen(args.serviceStartName, &wstrStartName) || !Widen(args.password, &wstrPassword) ||
      (args.dependencies != nullptr && !WidenList(args.dependencies, &wstrDeps))) {
    return kNoHandle;
  }
  auto opt = [](const char* original, const std::wstring& wide) -> const wchar_t* {
    return original == nullptr ? nullptr : wide.c_str();
  };
  return FromSc(::CreateServiceW(
      ToSc(manager), opt(args.serviceName, wstrName), opt(args.displayName, wstrDisplay),
      args.desiredAccess, args.serviceType, args.startType, args.errorControl,
      opt(args.binaryPathName, wstrPath), opt(args.loadOrderGroup, wstrGroup), nullptr,
      args.dependencies == nullptr ? nullptr : wstrDeps.data(),
      opt(args.serviceStartName, wstrStartName), opt(args.password, wstrPassword)));
}

Handle CWin32ServiceManager::OpenService(Handle manager, const char* name, std::uint32_t access) {
  return FromSc(::OpenServiceA(ToSc(manager), name, access));
}

bool CWin32ServiceManager::QueryServiceConfig(Handle service, void* block, std::uint32_t blockSize,
                                              std::uint32_t* bytesNeeded,
                                              std::uint32_t* startType) {
  auto* pConfig = static_cast<QUERY_SERVICE_CONFIGA*>(block);
  DWORD cbNeeded = 0;
  const BOOL bOk = ::QueryServiceConfigA(ToSc(service), pConfig, blockSize, &cbNeeded);
  if (bytesNeeded != nullptr) *bytesNeeded = cbNeeded;
  if (bOk && startType != nullptr) *startType = pConfig->dwStartType;
  return bOk != FALSE;
}

namespace {
void CopyStatus(const SERVICE_STATUS& from, ServiceStatus* to) {
  if (to == nullptr) return;
  to->currentState = from.dwCurrentState;
  to->checkPoint = from.dwCheckPoint;
  to->waitHint = from.dwWaitHint;
  to->win32ExitCode = from.dwWin32ExitCode;
  to->serviceSpecificExitCode = from.dwServiceSpecificExitCode;
  to->processId = 0;
}
}  // namespace

bool CWin32ServiceManager::ControlService(Handle service, std::uint32_t control,
                                          ServiceStatus* status) {
  SERVICE_STATUS ss = {};
  const BOOL bOk = ::ControlService(ToSc(service), control, &ss);
  if (bOk) CopyStatus(ss, status);
  return bOk != FALSE;
}

bool CWin32ServiceManager::QueryServiceStatus(Handle service, ServiceStatus* status) {
  SERVICE_STATUS ss = {};
  const BOOL bOk = ::QueryServiceStatus(ToSc(service), &ss);
  if (bOk) CopyStatus(ss, status);
  return bOk != FALSE;
}

bool CWin32ServiceManager::QueryServiceStatusEx(Handle service, ServiceStatus* status) {
  SERVICE_STATUS_PROCESS ssp = {};
  DWORD cbNeeded = 0;
  const BOOL bOk = ::QueryServiceStatusEx(ToSc(service), SC_STATUS_PROCESS_INFO,
                                          reinterpret_cast<BYTE*>(&ssp), sizeof(ssp), &cbNeeded);
  if (bOk) {
    const SERVICE_STATUS ss = {ssp.dwServiceType,
                               ssp.dwCurrentState,
                               ssp.dwControlsAccepted,
                               ssp.dwWin32ExitCode,
                               ssp.dwServiceSpecificExitCode,
                               ssp.dwCheckPoint,
                               ssp.dwWaitHint};
    CopyStatus(ss, status);
    status->processId = ssp.dwProcessId;
  }
  return bOk != FALSE;
}

bool CWin32ServiceManager::DeleteService(Handle service) {
  return ::DeleteService(ToSc(service)) != FALSE;
}

bool CWin32ServiceManager::CloseServiceHandle(Handle handle) {
  return ::CloseServiceHandle(ToSc(handle)) != FALSE;
}

bool CWin32ServiceManager::StartService(Handle service) {
  return ::StartServiceA(ToSc(service), 0, nullptr) != FALSE;
}

namespace {
// Converts a text of the configuration record to the ANSI code page into a fixed buffer,
// refusing one that would be cut.
bool Narrow(const wchar_t* text, std::size_t cch, char* buffer, std::size_t capacity) {
  if (text == nullptr || cch == 0) {
    buffer[0] = '\0';
    return true;
  }
  const int cb = ::WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(cch), buffer,
                                       static_cast<int>(capacity), nullptr, nullptr);
  if (cb <= 0 || static_cast<std::size_t>(cb) >= capacity) return false;
  buffer[cb] = '\0';
  return true;
}
bool Narrow(const wchar_t* text, char* buffer, std::size_t capacity) {
  return Narrow(text, text == nullptr ? 0 : std::char_traits<wchar_t>::length(text), buffer,
                capacity);
}
bool CopyText(const char* text, char* buffer, std::size_t capacity) {
  const std::size_t cch = text == nullptr ? 0 : std::char_traits<char>::length(text);
  if (cch + 1 > capacity) return false;
  if (cch != 0) std::memcpy(buffer, text, cch);
  buffer[cch] = '\0';
  return true;
}
}  // namespace

// Through the wide entry point, converted as the ANSI one would: some systems' ANSI entry
// point hands back no dependencies at all.
bool CWin32ServiceManager::QueryConfig(Handle service, ServiceConfigInfo* info) {
  // 16 KiB holds every record whose texts fit the fixed buffers below.
  alignas(QUERY_SERVICE_CONFIGW) unsigned char block[16384];
  auto* pConfig = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(block);
  DWORD cbNeeded = 0;
  if (!::QueryServiceConfigW(ToSc(service), pConfig, sizeof(block), &cbNeeded)) return false;
  info->startType = pConfig->dwStartType;
  // The dependency list with its NULs (the final one added below).
  std::size_t cchDeps = 0;
  if (pConfig->lpDependencies != nullptr) {
    const wchar_t* p = pConfig->lpDependencies;
    while (*p != L'\0') p += std::char_traits<wchar_t>::length(p) + 1;
    cchDeps = static_cast<std::size_t>(p - pConfig->lpDependencies);
  }
  std::memset(info->szDependencies, 0, sizeof(info->szDependencies));
  const bool bFits =
      Narrow(pConfig->lpDisplayName, info->szDisplayName, sizeof(info->szDisplayName)) &&
      Narrow(pConfig->lpBinaryPathName, info->szBinaryPath, sizeof(info->szBinaryPath)) &&
      Narrow(pConfig->lpServiceStartName, info->szStartName, sizeof(info->szStartName)) &&
      Narrow(pConfig->lpDependencies, cchDeps, info->szDependencies,
             sizeof(info->szDependencies) - 1);
  if (!bFits) {
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  return true;
}

// Through the wide entry point for the same reason as CreateService.
bool CWin32ServiceManager::ChangeServiceConfig(Handle service, const ChangeServiceArgs& args) {
  std::wstring wstrDisplay, wstrDeps, wstrStartName, wstrPassword;
  if (!Widen(args.displayName, &wstrDisplay) || !Widen(args.serviceStartName, &wstrStartName) ||
      !Widen(args.password, &wstrPassword) ||
      (args.dependencies != nullptr && !WidenList(args.dependencies, &wstrDeps))) {
    return false;
  }
  auto opt = [](const char* original, const std::wstring& wide) -> const wchar_t* {
    return original == nullptr ? nullptr : wide.c_str();
  };
  return ::ChangeServiceConfigW(
             ToSc(service), SERVICE_NO_CHANGE, args.startType, SERVICE_NO_CHANGE, nullptr, nullptr,
             nullptr, args.dependencies == nullptr ? nullptr : wstrDeps.data(),
             opt(args.serviceStartName, wstrStartName), opt(args.password, wstrPassword),
             opt(args.displayName, wstrDisplay)) != FALSE;
}

bool CWin32ServiceManager::QueryDescription(Handle service, char* buffer, std::uint32_t capacity) {
  alignas(SERVICE_DESCRIPTIONA) unsigned char block[8192];
  DWORD cbNeeded = 0;
  if (!::QueryServiceConfig2A(ToSc(service), SERVICE_CONFIG_DESCRIPTION, block, sizeof(block),
                              &cbNeeded)) {
    return false;
  }
  const auto* pDescription = reinterpret_cast<const SERVICE_DESCRIPTIONA*>(block);
  if (!CopyText(pDescription->lpDescription, buffer, capacity)) {
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  return true;
}

bool CWin32ServiceManager::ChangeDescription(Handle service, const char* text) {
  SERVICE_DESCRIPTIONA description = {const_cast<char*>(text)};
  return ::ChangeServiceConfig2A(ToSc(service), SERVICE_CONFIG_DESCRIPTION, &description) != FALSE;
}

bool CWin32ServiceManager::QueryDelayedAutoStart(Handle service, bool* delayed) {
  SERVICE_DELAYED_AUTO_START_INFO info = {};
  DWORD cbNeeded = 0;
  if (!::QueryServiceConfig2A(ToSc(service), SERVICE_CONFIG_DELAYED_AUTO_START_INFO,
                              reinterpret_cast<BYTE*>(&info), sizeof(info), &cbNeeded)) {
    return false;
  }
  *delayed = info.fDelayedAutostart != FALSE;
  return true;
}

bool CWin32ServiceManager::ChangeDelayedAutoStart(Handle service, bool delayed) {
  SERVICE_DELAYED_AUTO_START_INFO info = {delayed ? TRUE : FALSE};
  return ::ChangeServiceConfig2A(ToSc(service), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info) !=
         FALSE;
}

bool CWin32ServiceManager::QueryPreshutdownTimeout(Handle service, std::uint32_t* timeoutMs) {
  SERVICE_PRESHUTDOWN_INFO info = {};
  DWORD cbNeeded = 0;
  if (!::QueryServiceConfig2A(ToSc(service), SERVICE_CONFIG_PRESHUTDOWN_INFO,
                              reinterpret_cast<BYTE*>(&info), sizeof(info), &cbNeeded)) {
    return false;
  }
  *timeoutMs = info.dwPreshutdownTimeout;
  return true;
}

bool CWin32ServiceManager::ChangePreshutdownTimeout(Handle service, std::uint32_t timeoutMs) {
  SERVICE_PRESHUTDOWN_INFO info = {timeoutMs};
  return ::ChangeServiceConfig2A(ToSc(service), SERVICE_CONFIG_PRESHUTDOWN_INFO, &info) != FALSE;
}

bool CWin32ServiceManager::QueryFailureActions(Handle service, FailureActions* actions) {
  alignas(SERVICE_FAILURE_ACTIONSA) unsigned char block[8192];
  DWORD cbNeeded = 0;
  if (!::QueryServiceConfig2A(ToSc(service), SERVICE_CONFIG_FAILURE_ACTIONS, block, sizeof(block),
                              &cbNeeded)) {
    return false;
  }
  const auto* pInfo = reinterpret_cast<const SERVICE_FAILURE_ACTIONSA*>(block);
  if (pInfo->cActions > kMaxFailureActions) {
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  *actions = kNoFailureActions;
  actions->resetSeconds = pInfo->dwResetPeriod;
  actions->count = pInfo->lpsaActions == nullptr ? 0 : pInfo->cActions;
  for (std::uint32_t i = 0; i < actions->count; ++i) {
    actions->actions[i] = {static_cast<std::uint32_t>(pInfo->lpsaActions[i].Type),
                           pInfo->lpsaActions[i].Delay};
  }
  return true;
}

bool CWin32ServiceManager::ChangeFailureActions(Handle service, const FailureActions& actions) {
  SC_ACTION list[kMaxFailureActions] = {};
  for (std::uint32_t i = 0; i < actions.count && i < kMaxFailureActions; ++i) {
    list[i] = {static_cast<SC_ACTION_TYPE>(actions.actions[i].type), actions.actions[i].delayMs};
  }
  // The list is always given: with none, a count of 0 deletes the actions and the period.
  SERVICE_FAILURE_ACTIONSA info = {actions.resetSeconds, nullptr, nullptr, actions.count, list};
  return ::ChangeServiceConfig2A(ToSc(service), SERVICE_CONFIG_FAILURE_ACTIONS, &info) != FALSE;
}

bool CWin32ServiceManager::ChangeFailureActionsFlag(Handle service, bool onErrorStops) {
  SERVICE_FAILURE_ACTIONS_FLAG flag = {onErrorStops ? TRUE : FALSE};
  return ::ChangeServiceConfig2A(ToSc(service), SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag) !=
         FALSE;
}

bool CWin32ServiceManager::EnumServices(Handle manager, IServiceListSink& sink) {
  std::vector<unsigned char> buffer(256 * 1024);
  DWORD dwResume = 0;
  for (;;) {
    DWORD cbNeeded = 0;
    DWORD cReturned = 0;
    const BOOL bDone = ::EnumServicesStatusExA(
        ToSc(manager), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, buffer.data(),
        static_cast<DWORD>(buffer.size()), &cbNeeded, &cReturned, &dwResume, nullptr);
    if (!bDone && ::GetLastError() != ERROR_MORE_DATA) return false;
    const auto* pEntries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSA*>(buffer.data());
    for (DWORD i = 0; i < cReturned; ++i) {
      const SERVICE_STATUS_PROCESS& process = pEntries[i].ServiceStatusProcess;
      ServiceStatus status;
      status.currentState = process.dwCurrentState;
      status.checkPoint = process.dwCheckPoint;
      status.waitHint = process.dwWaitHint;
      status.win32ExitCode = process.dwWin32ExitCode;
      status.serviceSpecificExitCode = process.dwServiceSpecificExitCode;
      status.processId = process.dwProcessId;
      sink.OnService(pEntries[i].lpServiceName, status);
    }
    if (bDone) return true;
    // Not even one entry fitted: make room for the next one.
    if (cReturned == 0) buffer.resize(std::max<std::size_t>(buffer.size() * 2, cbNeeded));
  }
}

}  // namespace qm::platform
