#include "tests/service/wine_support.h"

#include <cstring>

#include "common/win32_handles.h"

namespace qm::svc::test {

std::uint32_t CModulePathSystem::GetModuleFileName(char* buffer, std::uint32_t capacity) {
  if (m_strModulePath.empty()) return CWin32System::GetModuleFileName(buffer, capacity);
  if (m_strModulePath.size() >= capacity) return capacity;
  std::memcpy(buffer, m_strModulePath.c_str(), m_strModulePath.size() + 1);
  return static_cast<std::uint32_t>(m_strModulePath.size());
}

std::string UniqueName(const std::string& strTag) {
  return "qmtest" + std::to_string(::GetCurrentProcessId()) + strTag;
}

namespace {
unique_schandle OpenManager() {
  return unique_schandle(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}
}  // namespace

ServiceConfig QueryConfig(const std::string& strName) {
  ServiceConfig config;
  unique_schandle manager = OpenManager();
  unique_schandle service(::OpenServiceA(manager.get(), strName.c_str(), SERVICE_QUERY_CONFIG));
  if (!service) return config;
  std::vector<unsigned char> block(8192);
  DWORD cbNeeded = 0;
  auto* pConfig = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(block.data());
  if (!::QueryServiceConfigA(service.get(), pConfig, static_cast<DWORD>(block.size()), &cbNeeded)) {
    return config;
  }
  config.bFound = true;
  config.dwType = pConfig->dwServiceType;
  config.dwStartType = pConfig->dwStartType;
  config.strBinaryPath = pConfig->lpBinaryPathName ? pConfig->lpBinaryPathName : "";
  config.strDisplayName = pConfig->lpDisplayName ? pConfig->lpDisplayName : "";
  config.strStartName = pConfig->lpServiceStartName ? pConfig->lpServiceStartName : "";
  return config;
}

bool ServiceExists(const std::string& strName) {
  unique_schandle manager = OpenManager();
  unique_schandle service(::OpenServiceA(manager.get(), strName.c_str(), SERVICE_QUERY_STATUS));
  return static_cast<bool>(service);
}

std::string ReadValue(const std::string& strKey, const std::string& strValue, DWORD* pdwType) {
  *pdwType = 0;
  unique_hkey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, KEY_READ, key.put()) !=
      ERROR_SUCCESS) {
    return "";
  }
  char ab[4096];
  DWORD cb = sizeof(ab);
  DWORD dwType = 0;
  if (::RegQueryValueExA(key.get(), strValue.c_str(), nullptr, &dwType, reinterpret_cast<BYTE*>(ab),
                         &cb) != ERROR_SUCCESS) {
    return "";
  }
  *pdwType = dwType;
  return std::string(ab, cb);
}

bool CreateRawService(const std::string& strName, const std::string& strBinary, DWORD dwStartType,
                      bool bOurMarker) {
  unique_schandle manager = OpenManager();
  unique_schandle service(::CreateServiceA(manager.get(), strName.c_str(), strName.c_str(),
                                           SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                           dwStartType, SERVICE_ERROR_NORMAL, strBinary.c_str(),
                                           nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service) return false;
  if (!bOurMarker) return true;
  const std::string strKey = "SYSTEM\\CurrentControlSet\\Services\\" + strName + "\\Parameters";
  unique_hkey key;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return ::RegSetValueExA(key.get(), "Installer", 0, REG_SZ,
                          reinterpret_cast<const BYTE*>("quillmnt"), 9) == ERROR_SUCCESS;
}

bool StartAndWaitRunning(const std::string& strName) {
  unique_schandle manager = OpenManager();
  unique_schandle service(::OpenServiceA(manager.get(), strName.c_str(), SERVICE_ALL_ACCESS));
  if (!service || !::StartServiceA(service.get(), 0, nullptr)) return false;
  for (int i = 0; i < 100; ++i) {
    SERVICE_STATUS status = {};
    if (!::QueryServiceStatus(service.get(), &status)) return false;
    if (status.dwCurrentState == SERVICE_RUNNING) return true;
    ::Sleep(100);
  }
  return false;
}

bool SetStartType(const std::string& strName, DWORD dwStartType) {
  unique_schandle manager = OpenManager();
  unique_schandle service(::OpenServiceA(manager.get(), strName.c_str(), SERVICE_ALL_ACCESS));
  return service &&
         ::ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, dwStartType, SERVICE_NO_CHANGE,
                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

std::string TestBinFolder() {
  char sz[MAX_PATH];
  const DWORD cch = ::GetModuleFileNameA(nullptr, sz, sizeof(sz));
  std::string strPath(sz, cch < sizeof(sz) ? cch : 0);
  return strPath.substr(0, strPath.find_last_of('\\') + 1);
}

void StopAndDelete(const std::string& strName) {
  unique_schandle manager = OpenManager();
  unique_schandle service(::OpenServiceA(manager.get(), strName.c_str(), SERVICE_ALL_ACCESS));
  if (!service) return;
  SERVICE_STATUS status = {};
  if (::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
    for (int i = 0; i < 50 && ::QueryServiceStatus(service.get(), &status) &&
                    status.dwCurrentState != SERVICE_STOPPED;
         ++i) {
      ::Sleep(100);
    }
  }
  ::DeleteService(service.get());
}

CServiceCleanup::~CServiceCleanup() {
  for (const std::string& strName : m_names) StopAndDelete(strName);
}

}  // namespace qm::svc::test
