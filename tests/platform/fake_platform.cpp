#include "tests/platform/fake_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qm::platform::test {

namespace {

constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorKeyDeleted = 1018;
constexpr std::uint32_t kErrorServiceDoesNotExist = 1060;
constexpr std::uint32_t kErrorServiceCannotAcceptCtrl = 1061;
constexpr std::uint32_t kErrorServiceNotActive = 1062;
constexpr std::uint32_t kErrorServiceMarkedForDelete = 1072;
constexpr std::uint32_t kErrorServiceExists = 1073;
constexpr std::uint32_t kErrorMrMidNotFound = 317;
constexpr std::uint32_t kRegMultiSz = 7;
constexpr const char* kServicesRoot = "SYSTEM\\CurrentControlSet\\Services";

char Fold(char ch) {
  return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

std::vector<std::string> Split(const std::string& strPath) {
  std::vector<std::string> parts;
  std::string strPart;
  for (char ch : strPath) {
    if (ch == '\\') {
      if (!strPart.empty()) parts.push_back(strPart);
      strPart.clear();
    } else {
      strPart.push_back(ch);
    }
  }
  if (!strPart.empty()) parts.push_back(strPart);
  return parts;
}

std::string Hex(std::uint64_t value) {
  char sz[32];
  std::snprintf(sz, sizeof(sz), "0x%llx", static_cast<unsigned long long>(value));
  return sz;
}

// A dependency list as the call log shows it, "null" or "[...]"; *pcb is its size in bytes up to
// and with the NUL after its first empty name (0 for none).
std::string DescribeDependencies(const char* dependencies, std::size_t* pcb) {
  *pcb = 0;
  if (dependencies == nullptr) return "null";
  const char* p = dependencies;
  while (*p != '\0') p += std::strlen(p) + 1;
  *pcb = static_cast<std::size_t>(p - dependencies) + 1;
  return "[" + std::string(dependencies, *pcb) + "]";
}

}  // namespace

bool CaseLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Fold(x) < Fold(y); });
}

std::string Describe(const char* text) {
  return text == nullptr ? std::string("null") : "\"" + std::string(text) + "\"";
}

CFakePlatform::CFakePlatform() : m_platform{*this, *this, *this} {
  EnsureKey(kServicesRoot);
  EnsureKey("SOFTWARE");
  m_texts = {
      {0, "The operation completed successfully.\r\n"},
      {2, "The system cannot find the file specified.\r\n"},
      {5, "Access is denied.\r\n"},
      {6, "The handle is invalid.\r\n"},
      {8, "Not enough storage is available to process this command.\r\n"},
      {122, "The data area passed to a system call is too small.\r\n"},
      {1060, "The specified service does not exist as an installed service.\r\n"},
      {1062, "The service has not been started.\r\n"},
      {1072, "The specified service has been marked for deletion.\r\n"},
      {1073, "The specified service already exists.\r\n"},
  };
}

CFakePlatform::~CFakePlatform() {
  for (void* p : m_blocks) delete[] static_cast<char*>(p);
}

void CFakePlatform::FailCall(const std::string& strCall, std::uint32_t code, int occurrence) {
  m_rules.emplace(strCall, FailRule{code, occurrence});
}

bool CFakePlatform::Enter(const std::string& strCall, const std::string& strArgs,
                          std::uint32_t* code) {
  m_calls.push_back(strCall + "(" + strArgs + ")");
  if (m_onEnter) m_onEnter(strCall);
  const int nSeen = ++m_seen[strCall];
  auto [first, last] = m_rules.equal_range(strCall);
  for (auto it = first; it != last; ++it) {
    if (it->second.occurrence == 0 || it->second.occurrence == nSeen) {
      *code = it->second.code;
      return true;
    }
  }
  return false;
}

std::vector<std::string> CFakePlatform::CallNames() const {
  std::vector<std::string> names;
  for (const std::string& strCall : m_calls) names.push_back(strCall.substr(0, strCall.find('(')));
  return names;
}

int CFakePlatform::CountCalls(const std::string& strCall) const {
  const std::vector<std::string> names = CallNames();
  return static_cast<int>(std::count(names.begin(), names.end(), strCall));
}

Handle CFakePlatform::NewHandle(Kind kind, const std::string& strTarget, std::uint32_t access) {
  const Handle h = m_hNext;
  m_hNext += 4;
  m_handles[h] = HandleInfo{kind, strTarget, access};
  return h;
}

const CFakePlatform::HandleInfo* CFakePlatform::Find(Handle h, Kind kind) const {
  auto it = m_handles.find(h);
  return it == m_handles.end() || it->second.kind != kind ? nullptr : &it->second;
}

// --- registry ------------------------------------------------------------------------------

FakeKey* CFakePlatform::FindKey(const std::string& strPath) {
  FakeKey* pKey = &m_hklm;
  for (const std::string& strPart : Split(strPath)) {
    auto it = pKey->subkeys.find(strPart);
    if (it == pKey->subkeys.end()) return nullptr;
    pKey = it->second.get();
  }
  return pKey;
}

FakeKey* CFakePlatform::EnsureKey(const std::string& strPath) {
  FakeKey* pKey = &m_hklm;
  for (const std::string& strPart : Split(strPath)) {
    std::unique_ptr<FakeKey>& pSub = pKey->subkeys[strPart];
    if (!pSub) pSub = std::make_unique<FakeKey>();
    pKey = pSub.get();
  }
  return pKey;
}

bool CFakePlatform::DeleteKeyTree(const std::string& strPath) {
  std::vector<std::string> parts = Split(strPath);
  if (parts.empty()) return false;
  const std::string strLeaf = parts.back();
  parts.pop_back();
  std::string strParent;
  for (const std::string& strPart : parts) strParent += strPart + "\\";
  FakeKey* pParent = FindKey(strParent);
  return pParent != nullptr && pParent->subkeys.erase(strLeaf) == 1;
}

void CFakePlatform::SetValue(const std::string& strKey, const std::string& strValue,
                             std::uint32_t type, const std::string& data) {
  EnsureKey(strKey)->values[strValue] = FakeValue{type, data};
}

bool CFakePlatform::ResolvePath(Handle root, const char* path, std::string* full) const {
  std::string strBase;
  if (root != kHKeyLocalMachine) {
    const HandleInfo* pInfo = Find(root, Kind::Key);
    if (pInfo == nullptr) return false;
    strBase = pInfo->strTarget;
  }
  *full = strBase;
  if (path != nullptr && path[0] != '\0')
    *full += (strBase.empty() ? "" : "\\") + std::string(path);
  return true;
}

long CFakePlatform::OpenKey(Handle root, const char* path, std::uint32_t options,
                            std::uint32_t access, Handle* key) {
  std::uint32_t code = 0;
  *key = kNoHandle;
  if (Enter("RegOpenKeyEx",
            Hex(root) + "," + Describe(path) + "," + std::to_string(options) + "," + Hex(access),
            &code)) {
    return static_cast<long>(code);
  }
  std::string strFull;
  if (!ResolvePath(root, path, &strFull)) return kErrorInvalidHandle;
  if (FindKey(strFull) == nullptr) return kErrorFileNotFound;
  *key = NewHandle(Kind::Key, strFull, access);
  return kErrorSuccess;
}

long CFakePlatform::CreateKey(Handle root, const char* path, const char* className,
                              std::uint32_t options, std::uint32_t access, Handle* key,
                              std::uint32_t* disposition) {
  std::uint32_t code = 0;
  *key = kNoHandle;
  if (Enter("RegCreateKeyEx",
            Hex(root) + "," + Describe(path) + "," + Describe(className) + "," +
                std::to_string(options) + "," + Hex(access),
            &code)) {
    return static_cast<long>(code);
  }
  std::string strFull;
  if (!ResolvePath(root, path, &strFull)) return kErrorInvalidHandle;
  const bool bExisted = FindKey(strFull) != nullptr;
  FakeKey* pKey = EnsureKey(strFull);
  if (!bExisted && className != nullptr) pKey->strClass = className;
  if (disposition != nullptr) *disposition = bExisted ? 2 : 1;
  *key = NewHandle(Kind::Key, strFull, access);
  return kErrorSuccess;
}

long CFakePlatform::EnumKey(Handle key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                            char* className, std::uint32_t* classSize) {
  std::uint32_t code = 0;
  if (Enter("RegEnumKeyEx", Hex(key) + "," + std::to_string(index), &code)) {
    return static_cast<long>(code);
  }
  if (m_seen["RegEnumKeyEx"] > 100000) {
    ADD_FAILURE() << "enumeration does not end";
    return kErrorNoMoreItems;
  }
  const HandleInfo* pInfo = Find(key, Kind::Key);
  if (pInfo == nullptr) return kErrorInvalidHandle;
  FakeKey* pKey = FindKey(pInfo->strTarget);
  if (pKey == nullptr) return kErrorKeyDeleted;
  if (index >= pKey->subkeys.size()) return kErrorNoMoreItems;
  auto it = pKey->subkeys.begin();
  std::advance(it, index);
  const std::string& strName = it->first;
  if (strName.size() + 1 > *nameSize) return kErrorMoreData;
  std::memcpy(name, strName.c_str(), strName.size() + 1);
  *nameSize = static_cast<std::uint32_t>(strName.size());
  if (className != nullptr && classSize != nullptr) {
    const std::string& strClass = it->second->strClass;
    if (strClass.size() + 1 > *classSize) return kErrorMoreData;
    std::memcpy(className, strClass.c_str(), strClass.size() + 1);
    *classSize = static_cast<std::uint32_t>(strClass.size());
  }
  return kErrorSuccess;
}

long CFakePlatform::QueryValue(Handle key, const char* valueName, std::uint32_t* type,
                               unsigned char* data, std::uint32_t* dataSize) {
  std::uint32_t code = 0;
  if (Enter("RegQueryValueEx",
            Hex(key) + "," + Describe(valueName) + "," +
                (dataSize != nullptr ? std::to_string(*dataSize) : std::string("null")),
            &code)) {
    return static_cast<long>(code);
  }
  const HandleInfo* pInfo = Find(key, Kind::Key);
  if (pInfo == nullptr) return kErrorInvalidHandle;
  FakeKey* pKey = FindKey(pInfo->strTarget);
  if (pKey == nullptr) return kErrorKeyDeleted;
  auto it = pKey->values.find(valueName != nullptr ? valueName : "");
  if (it == pKey->values.end()) return kErrorFileNotFound;
  const FakeValue& value = it->second;
  if (type != nullptr) *type = value.type;
  const auto cbData = static_cast<std::uint32_t>(value.data.size());
  if (data != nullptr && dataSize != nullptr && cbData > *dataSize) {
    *dataSize = cbData;
    return kErrorMoreData;
  }
  if (data != nullptr) std::memcpy(data, value.data.data(), cbData);
  if (dataSize != nullptr) *dataSize = cbData;
  return kErrorSuccess;
}

long CFakePlatform::SetValue(Handle key, const char* valueName, std::uint32_t type,
                             const unsigned char* data, std::uint32_t dataSize) {
  std::uint32_t code = 0;
  const std::string strData(reinterpret_cast<const char*>(data), dataSize);
  if (Enter("RegSetValueEx",
            Hex(key) + "," + Describe(valueName) + "," + std::to_string(type) + "," +
                Describe(strData.c_str()) + "," + std::to_string(dataSize),
            &code)) {
    return static_cast<long>(code);
  }
  const HandleInfo* pInfo = Find(key, Kind::Key);
  if (pInfo == nullptr) return kErrorInvalidHandle;
  if ((pInfo->dwAccess & 0x2) == 0) return kErrorAccessDenied;  // KEY_SET_VALUE
  FakeKey* pKey = FindKey(pInfo->strTarget);
  if (pKey == nullptr) return kErrorKeyDeleted;
  pKey->values[valueName != nullptr ? valueName : ""] = FakeValue{type, strData};
  return kErrorSuccess;
}

long CFakePlatform::DeleteValue(Handle key, const char* valueName) {
  std::uint32_t code = 0;
  if (Enter("RegDeleteValue", Hex(key) + "," + Describe(valueName), &code)) {
    return static_cast<long>(code);
  }
  const HandleInfo* pInfo = Find(key, Kind::Key);
  if (pInfo == nullptr) return kErrorInvalidHandle;
  if ((pInfo->dwAccess & 0x2) == 0) return kErrorAccessDenied;  // KEY_SET_VALUE
  FakeKey* pKey = FindKey(pInfo->strTarget);
  if (pKey == nullptr) return kErrorKeyDeleted;
  return pKey->values.erase(valueName != nullptr ? valueName : "") == 1 ? kErrorSuccess
                                                                        : kErrorFileNotFound;
}

long CFakePlatform::CloseKey(Handle key) {
  m_calls.push_back("RegCloseKey(" + Hex(key) + ")");
  if (Find(key, Kind::Key) == nullptr) {
    ADD_FAILURE() << "RegCloseKey of a handle that is not an open key: " << Hex(key);
    return kErrorInvalidHandle;
  }
  m_handles.erase(key);
  m_dwLastError = 0;  // allowed to the system; a text taken after a close would show it
  return kErrorSuccess;
}

// --- service control manager ---------------------------------------------------------------

FakeService& CFakePlatform::AddService(const std::string& strName, std::uint32_t startType,
                                       std::uint32_t state) {
  FakeService& service = m_services[strName];
  service.strName = strName;
  service.dwType = kServiceWin32OwnProcess;
  service.dwStartType = startType;
  service.dwState = state;
  FakeKey* pKey = EnsureKey(std::string(kServicesRoot) + "\\" + strName);
  pKey->values["Start"] =
      FakeValue{kRegDword, std::string(reinterpret_cast<const char*>(&startType), 4)};
  return service;
}

FakeService* CFakePlatform::FindService(const std::string& strName) {
  auto it = m_services.find(strName);
  return it == m_services.end() ? nullptr : &it->second;
}

// A service marked for deletion goes once it is stopped and no handle to it is open.
void CFakePlatform::ReleaseIfDeleted(const std::string& strService) {
  FakeService* pService = FindService(strService);
  if (pService == nullptr || !pService->bMarkedForDelete || pService->dwState != kServiceStopped) {
    return;
  }
  for (const auto& [h, info] : m_handles) {
    if (info.kind == Kind::Service && !CaseLess{}(info.strTarget, strService) &&
        !CaseLess{}(strService, info.strTarget)) {
      return;
    }
  }
  DeleteKeyTree(std::string(kServicesRoot) + "\\" + pService->strName);
  m_services.erase(strService);
}

Handle CFakePlatform::OpenSCManager(const char* machine, const char* database,
                                    std::uint32_t access) {
  std::uint32_t code = 0;
  if (Enter("OpenSCManager", Describe(machine) + "," + Describe(database) + "," + Hex(access),
            &code)) {
    m_dwLastError = code;
    return kNoHandle;
  }
  return NewHandle(Kind::Manager, "", access);
}

Handle CFakePlatform::CreateService(Handle manager, const CreateServiceArgs& args) {
  std::size_t cbDeps = 0;
  const std::string strDeps = DescribeDependencies(args.dependencies, &cbDeps);
  std::uint32_t code = 0;
  if (Enter("CreateService",
            Hex(manager) + "," + Describe(args.serviceName) + "," + Describe(args.displayName) +
                "," + Hex(args.desiredAccess) + "," + Hex(args.serviceType) + "," +
                std::to_string(args.startType) + "," + std::to_string(args.errorControl) + "," +
                Describe(args.binaryPathName) + "," + Describe(args.loadOrderGroup) + "," +
                strDeps + "," + Describe(args.serviceStartName) + "," + Describe(args.password),
            &code)) {
    m_dwLastError = code;
    return kNoHandle;
  }
  if (Find(manager, Kind::Manager) == nullptr) return Fail(kErrorInvalidHandle), kNoHandle;
  if (FakeService* pOld = FindService(args.serviceName)) {
    return Fail(pOld->bMarkedForDelete ? kErrorServiceMarkedForDelete : kErrorServiceExists),
           kNoHandle;
  }
  FakeService& service = AddService(args.serviceName, args.startType);
  service.strDisplayName = args.displayName != nullptr ? args.displayName : "";
  service.strBinaryPath = args.binaryPathName != nullptr ? args.binaryPathName : "";
  service.dwType = args.serviceType;
  service.bHadDependencies = args.dependencies != nullptr;
  if (args.dependencies != nullptr) service.strDependencies.assign(args.dependencies, cbDeps);
  const std::string strKey = std::string(kServicesRoot) + "\\" + args.serviceName;
  SetValue(strKey, "DisplayName", kRegSz, service.strDisplayName + '\0');
  SetValue(strKey, "ImagePath", kRegExpandSz, service.strBinaryPath + '\0');
  if (cbDeps > 1) SetValue(strKey, "DependOnService", kRegMultiSz, service.strDependencies);
  return NewHandle(Kind::Service, args.serviceName, args.desiredAccess);
}

Handle CFakePlatform::OpenService(Handle manager, const char* name, std::uint32_t access) {
  std::uint32_t code = 0;
  if (Enter("OpenService", Hex(manager) + "," + Describe(name) + "," + Hex(access), &code)) {
    m_dwLastError = code;
    return kNoHandle;
  }
  if (Find(manager, Kind::Manager) == nullptr) return Fail(kErrorInvalidHandle), kNoHandle;
  if (FindService(name) == nullptr) return Fail(kErrorServiceDoesNotExist), kNoHandle;
  return NewHandle(Kind::Service, name, access);
}

bool CFakePlatform::QueryServiceConfig(Handle service, void* block, std::uint32_t blockSize,
                                       std::uint32_t* bytesNeeded, std::uint32_t* startType) {
  std::uint32_t code = 0;
  if (Enter("QueryServiceConfig", Hex(service) + "," + std::to_string(blockSize), &code)) {
    return Fail(code);
  }
  const HandleInfo* pInfo = Find(service, Kind::Service);
  if (pInfo == nullptr) return Fail(kErrorInvalidHandle);
  FakeService* pService = FindService(pInfo->strTarget);
  if (pService == nullptr) return Fail(kErrorServiceMarkedForDelete);
  if (bytesNeeded != nullptr) *bytesNeeded = pService->cbConfig;
  if (pService->cbConfig > blockSize)
    return Fail(static_cast<std::uint32_t>(kErrorInsufficientBuffer));
  std::memset(block, 0xab, pService->cbConfig);  // the record fills the block as far as it needs
  *startType = pService->dwStartType;
  return true;
}

bool CFakePlatform::ControlService(Handle service, std::uint32_t control, ServiceStatus* status) {
  std::uint32_t code = 0;
  if (Enter("ControlService", Hex(service) + "," + std::to_string(control), &code)) {
    return Fail(code);
  }
  const HandleInfo* pInfo = Find(service, Kind::Service);
  if (pInfo == nullptr) return Fail(kErrorInvalidHandle);
  FakeService* pService = FindService(pInfo->strTarget);
  if (pService == nullptr) return Fail(kErrorInvalidHandle);
  if (pService->dwState == kServiceStopped) return Fail(kErrorServiceNotActive);
  if (control >= 128 && control <= 255) {
    pService->controls.push_back(control);
    *status = ServiceStatus{pService->dwState, 0, 0};
    return true;
  }
  if (control != kServiceControlStop) return Fail(kErrorInvalidParameter);
  if (pService->dwState == kServiceStopPending) return Fail(kErrorServiceCannotAcceptCtrl);
  pService->dwState = kServiceStopPending;
  *status = ServiceStatus{pService->dwState, 1, pService->dwWaitHint};
  return true;
}

bool CFakePlatform::QueryServiceStatus(Handle service, ServiceStatus* status) {
  std::uint32_t code = 0;
  if (Enter("QueryServiceStatus", Hex(service), &code)) return Fail(code);
  return SettledStatus(service, status);
}

bool CFakePlatform::QueryServiceStatusEx(Handle service, ServiceStatus* status) {
  std::uint32_t code = 0;
  if (Enter("QueryServiceStatusEx", Hex(service), &code)) return Fail(code);
  if (!SettledStatus(service, status)) return false;
  if (status->currentState != kServiceStopped) status->processId = ServiceOf(service)->dwProcessId;
  return true;
}

bool CFakePlatform::SettledStatus(Handle service, ServiceStatus* status) {
  const HandleInfo* pInfo = Find(service, Kind::Service);
  if (pInfo == nullptr) return Fail(kErrorInvalidHandle);
  FakeService* pService = FindService(pInfo->strTarget);
  if (pService == nullptr) return Fail(kErrorInvalidHandle);
  if (pService->dwState == kServiceStopPending) {
    if (pService->nStopPendingWaits == 0) {
      pService->dwState = kServiceStopped;
    } else if (pService->nStopPendingWaits > 0) {
      --pService->nStopPendingWaits;
    }
  } else if (pService->dwState == kServiceStartPending) {
    pService->dwState = pService->dwStateAfterStart;
  }
  *status = ServiceStatus{pService->dwState, 1, pService->dwWaitHint,
                          pService->dwState == kServiceStopped ? pService->dwWin32ExitCode : 0,
                          pService->dwState == kServiceStopped ? pService->dwServiceExitCode : 0};
  return true;
}

bool CFakePlatform::DeleteService(Handle service) {
  std::uint32_t code = 0;
  if (Enter("DeleteService", Hex(service), &code)) return Fail(code);
  const HandleInfo* pInfo = Find(service, Kind::Service);
  if (pInfo == nullptr) return Fail(kErrorInvalidHandle);
  FakeService* pService = FindService(pInfo->strTarget);
  if (pService == nullptr || pService->bMarkedForDelete) return Fail(kErrorServiceMarkedForDelete);
  pService->bMarkedForDelete = true;
  return true;
}

bool CFakePlatform::CloseServiceHandle(Handle handle) {
  m_calls.push_back("CloseServiceHandle(" + Hex(handle) + ")");
  auto it = m_handles.find(handle);
  if (it == m_handles.end() || it->second.kind == Kind::Key || it->second.kind == Kind::Policy) {
    ADD_FAILURE() << "CloseServiceHandle of a handle that is not open: " << Hex(handle);
    return Fail(kErrorInvalidHandle);
  }
  const std::string strService = it->second.kind == Kind::Service ? it->second.strTarget : "";
  m_handles.erase(it);
  if (!strService.empty()) ReleaseIfDeleted(strService);
  m_dwLastError = 0;  // allowed to the system; a text taken after a close would show it
  return true;
}

FakeService* CFakePlatform::ServiceOf(Handle service) {
  const HandleInfo* pInfo = Find(service, Kind::Service);
  if (pInfo == nullptr) return Fail(kErrorInvalidHandle), nullptr;
  FakeService* pService = FindService(pInfo->strTarget);
  if (pService == nullptr) return Fail(kErrorServiceMarkedForDelete), nullptr;
  return pService;
}

bool CFakePlatform::StartService(Handle service) {
  std::uint32_t code = 0;
  if (Enter("StartService", Hex(service), &code)) return Fail(code);
  FakeService* pService = ServiceOf(service);
  if (pService == nullptr) return false;
  if (pService->dwStartType == kServiceDisabled) return Fail(1058);  // ERROR_SERVICE_DISABLED
  if (pService->dwState != kServiceStopped) return Fail(kErrorServiceAlreadyRunning);
  pService->dwState = kServiceStartPending;  // settles at the next status query
  return true;
}

bool CFakePlatform::QueryConfig(Handle service, ServiceConfigInfo* info) {
  std::uint32_t code = 0;
  if (Enter("QueryConfig", Hex(service), &code)) return Fail(code);
  FakeService* pService = ServiceOf(service);
  if (pService == nullptr) return false;
  *info = ServiceConfigInfo{};
  info->startType = pService->dwStartType;
  if (pService->strDisplayName.size() >= sizeof(info->szDisplayName) ||
      pService->strBinaryPath.size() >= sizeof(info->szBinaryPath) ||
      pService->strDependencies.size() > sizeof(info->szDependencies)) {
    return Fail(static_cast<std::uint32_t>(kErrorInsufficientBuffer));
  }
  std::snprintf(info->szDisplayName, sizeof(info->szDisplayName), "%s",
                pService->strDisplayName.c_str());
  std::snprintf(info->szBinaryPath, sizeof(info->szBinaryPath), "%s",
                pService->strBinaryPath.c_str());
  std::snprintf(info->szStartName, sizeof(info->szStartName), "%s", pService->strStartName.c_str());
  std::memcpy(info->szDependencies, pService->strDependencies.data(),
              pService->strDependencies.size());
  return true;
}

bool CFakePlatform::ChangeServiceConfig(Handle service, const ChangeServiceArgs& args) {
  std::size_t cbDeps = 0;
  const std::string strDeps = DescribeDependencies(args.dependencies, &cbDeps);
  std::uint32_t code = 0;
  if (Enter("ChangeServiceConfig",
            Hex(service) + "," + std::to_string(args.startType) + "," + Describe(args.displayName) +
                "," + strDeps + "," + Describe(args.serviceStartName) + "," +
                Describe(args.password),
            &code)) {
    return Fail(code);
  }
  FakeService* pService = ServiceOf(service);
  if (pService == nullptr) return false;
  if (args.startType != kServiceNoChange && args.startType > kServiceDisabled) {
    return Fail(kErrorInvalidParameter);
  }
  // A user account needs its password; the built-in, virtual and managed ones take none.
  const std::string strStartName = args.serviceStartName != nullptr ? args.serviceStartName : "";
  if (strStartName.find('\\') != std::string::npos && strStartName.rfind("NT ", 0) != 0 &&
      strStartName.back() != '$' && (args.password == nullptr || args.password[0] == '\0')) {
    return Fail(1057);  // ERROR_INVALID_SERVICE_ACCOUNT
  }
  if (args.startType != kServiceNoChange) pService->dwStartType = args.startType;
  if (args.displayName != nullptr) pService->strDisplayName = args.displayName;
  if (args.dependencies != nullptr) {
    pService->strDependencies = cbDeps > 1 ? std::string(args.dependencies, cbDeps) : "";
    pService->bHadDependencies = cbDeps > 1;
    // Kept where the system keeps it, as CreateService does.
    FakeKey* pKey = EnsureKey(std::string(kServicesRoot) + "\\" + pService->strName);
    if (cbDeps > 1) {
      pKey->values["DependOnService"] = FakeValue{kRegMultiSz, pService->strDependencies};
    } else {
      pKey->values.erase("DependOnService");
    }
  }
  if (args.serviceStartName != nullptr) pService->strStartName = args.serviceStartName;
  if (args.password != nullptr) pService->strPassword = args.password;
  return true;
}

bool CFakePlatform::QueryDescription(Handle service, char* buffer, std::uint32_t capacity) {
  std::uint32_t code = 0;
  if (Enter("QueryDescription", Hex(service), &code)) return Fail(code);
  FakeService* pService = ServiceOf(service);
  if (pService == nullptr) return false;
  if (pService->strDescription.size() >= capacity) {
    return Fail(static_cast<std::uint32_t>(kErrorInsufficientBuffer));
  }
  std::snprintf(buffer, capacity, "%s", pService->strDescription.c_str());
  return true;
}

bool CFakePlatform::ChangeDescription(Handle service, const char* text) {
  std::uint32_t code = 0;
  if (Enter("ChangeDescription", Hex(service) + "," + Describe(text), &code)) return Fail(code);
  FakeService* pService = ServiceOf(service);
  if (pService == nullptr) return false;
  pService->strDescription = text;
  return true;
}

bool CFakePlatform::QueryDelayedAutoStart(Handle service, bool* delayed) {
  std::uint32_t code = 0;
  if (Enter("QueryDelayedAutoStart", Hex(service), &code)) return Fail(code);
  FakeService* pService = ServiceOf(service);
  if (pService == nullptr) return false;
  *delayed = pService->bDelayedAutoStart;
  return true;
}

bool CFakePlatform::ChangeDelayedAutoStart(Handle service, bool delayed) {
  std::uint32_t code = 0;
  if (Enter("ChangeDelayedAutoStart", Hex(service) + "," + std::to_string(delayed), &code)) {
    return Fail(code);
  }
  FakeService* pService = ServiceOf(service);
  if (pService == nullptr) return false;
  pService->bDelayedAutoStart = delayed;
  return true;
}

bool CFakePlatform::QueryPreshutdownTimeout(Handle service, std::uint32_t* timeoutMs) {
  std::uint32_t code = 0;
  if (Enter("QueryPreshutdownTimeout", Hex(service), &code)) return Fail(code);
  FakeService* pService = ServiceOf(service);
  if (pService == nullptr) return false;
  if ((Find(service, Kind::Service)->dwAccess & kServiceQueryConfig) == 0) {
    return Fail(kErrorAccessDenied);
  }
  *timeoutMs = pService->dwPreshutdownTimeoutMs;
  return true;
}

bool CFakePlatform::ChangePreshutdownTimeout(Handle service, std::uint32_t timeoutMs) {
  std::uint32_t code = 0;
  if (Enter("ChangePreshutdownTimeout", Hex(service) + "," + std::to_string(timeoutMs), &code)) {
    return Fail(code);
  }
  FakeService* pService = ServiceOf(service);
  if (pService == nullptr) return false;
  if ((Find(service, Kind::Service)->dwAccess & kServiceChangeConfig) == 0) {
    return Fail(kErrorAccessDenied);
  }
  pService->dwPreshutdownTimeoutMs = timeoutMs;
  return true;
}

static std::string DescribeActions(const FailureActions& actions) {
  std::string strText = std::to_string(actions.resetSeconds) + ",[";
  for (std::uint32_t i = 0; i < actions.count && i < kMaxFailureActions; ++i) {
    strText += (i == 0 ? "" : " ") + std::to_string(actions.actions[i].type) + "/" +
               std::to_string(actions.actions[i].delayMs);
  }
  return strText + "]";
}

bool CFakePlatform::QueryFailureActions(Handle service, FailureActions* actions) {
  std::uint32_t code = 0;
  if (Enter("QueryFailureActions", Hex(service), &code)) return Fail(code);
  FakeService* pService = ServiceOf(service);
  if (pService == nullptr) return false;
  *actions = pService->failureActions;
  return true;
}

bool CFakePlatform::ChangeFailureActions(Handle service, const FailureActions& actions) {
  std::uint32_t code = 0;
  if (Enter("ChangeFailureActions", Hex(service) + "," + DescribeActions(actions), &code)) {
    return Fail(code);
  }
  FakeService* pService = ServiceOf(service);
  if (pService == nullptr) return false;
  if (actions.count > kMaxFailureActions) return Fail(kErrorInvalidParameter);
  // As the manager checks: a restart needs the right to start the service, a reboot the
  // caller's shutdown privilege enabled.
  for (std::uint32_t i = 0; i < actions.count; ++i) {
    if (actions.actions[i].type > kScActionRunCommand) return Fail(kErrorInvalidParameter);
    if (actions.actions[i].type == kScActionRestart &&
        (Find(service, Kind::Service)->dwAccess & kServiceStart) == 0) {
      return Fail(kErrorAccessDenied);
    }
    if (actions.actions[i].type == kScActionReboot && !m_bShutdownPrivilege) {
      return Fail(kErrorAccessDenied);
    }
  }
  // A count of 0 deletes the actions and the period.
  pService->failureActions = actions.count == 0 ? kNoFailureActions : actions;
  return true;
}

bool CFakePlatform::ChangeFailureActionsFlag(Handle service, bool onErrorStops) {
  std::uint32_t code = 0;
  if (Enter("ChangeFailureActionsFlag", Hex(service) + "," + std::to_string(onErrorStops), &code)) {
    return Fail(code);
  }
  FakeService* pService = ServiceOf(service);
  if (pService == nullptr) return false;
  pService->bFailureActionsOnErrorStops = onErrorStops;
  return true;
}

bool CFakePlatform::EnumServices(Handle manager, IServiceListSink& sink) {
  std::uint32_t code = 0;
  if (Enter("EnumServicesStatus", Hex(manager), &code)) return Fail(code);
  const HandleInfo* pInfo = Find(manager, Kind::Manager);
  if (pInfo == nullptr) return Fail(kErrorInvalidHandle);
  if ((pInfo->dwAccess & kScManagerEnumerateService) == 0) return Fail(kErrorAccessDenied);
  for (const auto& [strName, service] : m_services) {
    const bool bStopped = service.dwState == kServiceStopped;
    sink.OnService(strName.c_str(),
                   ServiceStatus{service.dwState, 0, 0, bStopped ? service.dwWin32ExitCode : 0,
                                 bStopped ? service.dwServiceExitCode : 0,
                                 bStopped ? 0 : service.dwProcessId});
  }
  return true;
}

// --- kernel services ------------------------------------------------------------------------

std::uint32_t CFakePlatform::FormatMessage(std::uint32_t flags, std::uint32_t messageId,
                                           std::uint32_t languageId, char** text) {
  std::uint32_t code = 0;
  if (Enter("FormatMessage",
            Hex(flags) + "," + std::to_string(messageId) + "," + std::to_string(languageId),
            &code)) {
    m_dwLastError = code;
    return 0;
  }
  EXPECT_NE(flags & kFormatMessageAllocateBuffer, 0u) << "text must be allocated";
  auto it = m_texts.find(messageId);
  if (it == m_texts.end()) {
    m_dwLastError = kErrorMrMidNotFound;
    return 0;
  }
  if ((flags & kFormatMessageIgnoreInserts) == 0 && it->second.find('%') != std::string::npos) {
    // The system would now read an insert value from an argument array that was not given.
    ADD_FAILURE() << "insert markers formatted without arguments: " << it->second;
    return 0;
  }
  char* pszText = new char[it->second.size() + 1];
  std::memcpy(pszText, it->second.c_str(), it->second.size() + 1);
  m_blocks.insert(pszText);
  *text = pszText;
  return static_cast<std::uint32_t>(it->second.size());
}

void CFakePlatform::FreeMessageText(char* text) {
  m_calls.push_back("LocalFree");
  if (m_blocks.erase(text) != 1) {
    ADD_FAILURE() << "freeing a text that was not given out";
    return;
  }
  delete[] text;
}

void* CFakePlatform::GlobalAlloc(std::size_t bytes) {
  std::uint32_t code = 0;
  if (Enter("GlobalAlloc", std::to_string(bytes), &code)) {
    m_dwLastError = code;
    return nullptr;
  }
  char* pBlock = new char[bytes];
  std::memset(pBlock, 0xcd, bytes);  // not zeroed, like a fresh fixed block
  m_blocks.insert(pBlock);
  return pBlock;
}

void CFakePlatform::GlobalFree(void* block) {
  m_calls.push_back("GlobalFree");
  if (m_blocks.erase(block) != 1) {
    ADD_FAILURE() << "freeing a block that was not given out";
    return;
  }
  delete[] static_cast<char*>(block);
}

std::uint32_t CFakePlatform::GetModuleFileName(char* buffer, std::uint32_t capacity) {
  std::uint32_t code = 0;
  if (Enter("GetModuleFileName", std::to_string(capacity), &code)) {
    m_dwLastError = code;
    return 0;
  }
  if (capacity == 0) return 0;
  // As some systems do: a path that does not fit is cut to the capacity, without a NUL,
  // and the capacity is returned.
  const std::size_t cch = m_strModulePath.size();
  if (cch < capacity) {
    std::memcpy(buffer, m_strModulePath.c_str(), cch + 1);
    return static_cast<std::uint32_t>(cch);
  }
  std::memcpy(buffer, m_strModulePath.c_str(), capacity);
  m_dwLastError = static_cast<std::uint32_t>(kErrorInsufficientBuffer);
  return capacity;
}

void CFakePlatform::Sleep(std::uint32_t milliseconds) {
  m_calls.push_back("Sleep(" + std::to_string(milliseconds) + ")");
  m_sleeps.push_back(milliseconds);
}

bool CFakePlatform::FileExists(const char* path) {
  m_calls.push_back("FileExists(" + Describe(path) + ")");
  return m_absentFiles.count(path) == 0;
}

bool CFakePlatform::EnableShutdownPrivilege() {
  std::uint32_t code = 0;
  if (Enter("EnableShutdownPrivilege", "", &code)) return Fail(code);
  m_bShutdownPrivilege = true;
  return true;
}

// --- account rights ---------------------------------------------------------------------------

// A SID of the fake is the account's name as the policy keeps it.
FakeAccount* CFakePlatform::AccountOf(const Sid& sid, std::string* pName) {
  const std::string strName(reinterpret_cast<const char*>(sid.bytes), sid.cb);
  auto it = m_accounts.find(strName);
  if (it == m_accounts.end()) return nullptr;
  if (pName != nullptr) *pName = it->first;
  return &it->second;
}

bool CFakePlatform::LookupAccountName(const char* account, Sid* sid) {
  std::uint32_t code = 0;
  if (Enter("LookupAccountName", Describe(account), &code)) return Fail(code);
  auto it = m_accounts.find(account);
  if (it == m_accounts.end() || it->first.size() > kMaxSidBytes) {
    return Fail(1332);  // ERROR_NONE_MAPPED
  }
  *sid = Sid{};
  std::memcpy(sid->bytes, it->first.data(), it->first.size());
  sid->cb = static_cast<std::uint32_t>(it->first.size());
  return true;
}

NtStatus CFakePlatform::LsaOpenPolicy(std::uint32_t access, Handle* policy) {
  std::uint32_t code = 0;
  *policy = kNoHandle;
  if (Enter("LsaOpenPolicy", Hex(access), &code)) return static_cast<NtStatus>(code);
  *policy = NewHandle(Kind::Policy, "", access);
  return kStatusSuccess;
}

NtStatus CFakePlatform::LsaEnumerateAccountRights(Handle policy, const Sid& sid,
                                                  std::vector<std::string>* rights) {
  std::uint32_t code = 0;
  rights->clear();
  const std::string strSid(reinterpret_cast<const char*>(sid.bytes), sid.cb);
  if (Enter("LsaEnumerateAccountRights", Hex(policy) + "," + Describe(strSid.c_str()), &code)) {
    return static_cast<NtStatus>(code);
  }
  if (Find(policy, Kind::Policy) == nullptr) return static_cast<NtStatus>(0xC0000008u);
  FakeAccount* pAccount = AccountOf(sid);
  // An account that holds no right of its own is not in the policy at all.
  if (pAccount == nullptr || pAccount->rights.empty()) return kStatusObjectNameNotFound;
  *rights = pAccount->rights;
  return kStatusSuccess;
}

NtStatus CFakePlatform::LsaAddAccountRights(Handle policy, const Sid& sid, const char* right) {
  std::uint32_t code = 0;
  const std::string strSid(reinterpret_cast<const char*>(sid.bytes), sid.cb);
  if (Enter("LsaAddAccountRights",
            Hex(policy) + "," + Describe(strSid.c_str()) + "," + Describe(right), &code)) {
    return static_cast<NtStatus>(code);
  }
  const HandleInfo* pInfo = Find(policy, Kind::Policy);
  if (pInfo == nullptr) return static_cast<NtStatus>(0xC0000008u);  // STATUS_INVALID_HANDLE
  if ((pInfo->dwAccess & kPolicyCreateAccount) == 0) {
    return static_cast<NtStatus>(0xC0000022u);  // STATUS_ACCESS_DENIED
  }
  FakeAccount* pAccount = AccountOf(sid);
  if (pAccount == nullptr) return static_cast<NtStatus>(0xC0000078u);  // STATUS_INVALID_SID
  if (std::find(pAccount->rights.begin(), pAccount->rights.end(), right) ==
      pAccount->rights.end()) {
    pAccount->rights.push_back(right);
  }
  return kStatusSuccess;
}

NtStatus CFakePlatform::LsaClose(Handle policy) {
  m_calls.push_back("LsaClose(" + Hex(policy) + ")");
  if (Find(policy, Kind::Policy) == nullptr) {
    ADD_FAILURE() << "LsaClose of a handle that is not an open policy: " << Hex(policy);
    return static_cast<NtStatus>(0xC0000008u);
  }
  m_handles.erase(policy);
  return kStatusSuccess;
}

std::uint32_t CFakePlatform::LsaNtStatusToWinError(NtStatus status) {
  switch (static_cast<std::uint32_t>(status)) {
    case 0:
      return 0;
    case 0xC0000022u:
      return kErrorAccessDenied;
    case 0xC0000034u:
      return kErrorFileNotFound;
    case 0xC0000078u:
      return 1337;  // ERROR_INVALID_SID
    default:
      return 317;  // ERROR_MR_MID_NOT_FOUND, as the system answers a status it cannot map
  }
}

}  // namespace qm::platform::test
