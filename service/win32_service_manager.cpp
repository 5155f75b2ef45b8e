#include <string>

#include "service/win32_platform.h"

namespace qm::svc {

namespace {

SC_HANDLE ToSc(Handle h) {
  return reinterpret_cast<SC_HANDLE>(h);
}
Handle FromSc(SC_HANDLE h) {
  return reinterpret_cast<Handle>(h);
}

// Converts from the ANSI code page as the system's own ANSI entry points do. False (with the
// conversion's last error) when the text cannot be converted.
bool Widen(const char* text, std::wstring* wide) {
  wide->clear();
  if (text == nullptr || text[0] == '\0') return true;
  const int cch = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (cch <= 0) return false;
  wide->resize(static_cast<std::size_t>(cch));
  if (::MultiByteToWideChar(CP_ACP, 0, text, -1, wide->data(), cch) != cch) return false;
  wide->pop_back();  // the NUL that the count included
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

bool CWin32ServiceManager::DeleteService(Handle service) {
  return ::DeleteService(ToSc(service)) != FALSE;
}

bool CWin32ServiceManager::CloseServiceHandle(Handle handle) {
  return ::CloseServiceHandle(ToSc(handle)) != FALSE;
}

}  // namespace qm::svc
