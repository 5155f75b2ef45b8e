#include <windows.h>

#include "service/win32_platform.h"
#include "tests/service/contract_env.h"

namespace qm::svc::test {

namespace {

class CWin32ContractEnv : public IContractEnv {
 public:
  ServicePlatform& Platform() override { return m_platform.Platform(); }
  std::string UniqueSuffix() override { return std::to_string(::GetCurrentProcessId()); }
  void DeleteKeyTree(const std::string& strPath) override {
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, strPath.c_str());
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, strPath.c_str());
  }
  void DeleteServiceNamed(const std::string& strName) override {
    SC_HANDLE hManager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (hManager == nullptr) return;
    if (SC_HANDLE hService = ::OpenServiceA(hManager, strName.c_str(), SERVICE_ALL_ACCESS)) {
      SERVICE_STATUS status;
      ::ControlService(hService, SERVICE_CONTROL_STOP, &status);
      ::DeleteService(hService);
      ::CloseServiceHandle(hService);
    }
    ::CloseServiceHandle(hManager);
  }

 private:
  CWin32Platform m_platform;
};

}  // namespace

std::unique_ptr<IContractEnv> MakeContractEnv() {
  return std::make_unique<CWin32ContractEnv>();
}

}  // namespace qm::svc::test
