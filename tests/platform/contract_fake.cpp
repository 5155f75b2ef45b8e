#include "tests/platform/contract_env.h"
#include "tests/platform/fake_platform.h"

namespace qm::platform::test {

namespace {

class CFakeContractEnv : public IContractEnv {
 public:
  // As every machine has it, with some rights of its own.
  CFakeContractEnv() { m_fake.m_accounts["Administrators"].rights = {"SeBackupPrivilege"}; }
  ServicePlatform& Platform() override { return m_fake.Platform(); }
  IAccountRights& Rights() override { return m_fake; }
  bool IsWine() override { return false; }
  std::string UniqueSuffix() override { return "1"; }
  void DeleteKeyTree(const std::string& strPath) override { m_fake.DeleteKeyTree(strPath); }
  void DeleteServiceNamed(const std::string& strName) override {
    if (FakeService* pService = m_fake.FindService(strName)) {
      pService->bMarkedForDelete = true;
      pService->dwState = kServiceStopped;
    }
  }

 private:
  CFakePlatform m_fake;
};

}  // namespace

std::unique_ptr<IContractEnv> MakeContractEnv() {
  return std::make_unique<CFakeContractEnv>();
}

}  // namespace qm::platform::test
