#include <windows.h>

#include "platform/win32_platform.h"
#include "tests/platform/contract_env.h"
#include "tests/support/wine_test_support.h"

namespace qm::platform::test {

namespace {

class CWin32ContractEnv : public IContractEnv {
 public:
  ServicePlatform& Platform() override { return m_platform.Platform(); }
  IAccountRights& Rights() override { return m_rights; }
  bool IsWine() override {
    return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  }
  std::string UniqueSuffix() override { return std::to_string(::GetCurrentProcessId()); }
  void DeleteKeyTree(const std::string& strPath) override {
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, strPath.c_str());
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, strPath.c_str());
  }
  void DeleteServiceNamed(const std::string& strName) override { qm::test::RemoveService(strName); }

 private:
  CWin32Platform m_platform;
  CWin32AccountRights m_rights;
};

}  // namespace

std::unique_ptr<IContractEnv> MakeContractEnv() {
  return std::make_unique<CWin32ContractEnv>();
}

}  // namespace qm::platform::test
