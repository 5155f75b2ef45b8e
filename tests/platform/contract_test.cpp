// What the commands rely on from each primitive of the seam: results and error codes,
// checked the same way against the fake and against the real system.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform_handles.h"
#include "tests/platform/contract_env.h"

namespace qm::platform::test {
namespace {

using namespace std::string_literals;

constexpr std::uint32_t kSentinel = 0xdeadbeef;
constexpr long kErrorKeyDeleted = 1018;
constexpr std::uint32_t kErrorServiceDoesNotExist = 1060;
constexpr std::uint32_t kErrorServiceNotActive = 1062;
constexpr std::uint32_t kErrorServiceMarkedForDelete = 1072;
constexpr std::uint32_t kErrorServiceExists = 1073;
constexpr std::uint32_t kRegMultiSz = 7;

class SvcContractTest : public ::testing::Test {
 protected:
  SvcContractTest()
      : m_pEnv(MakeContractEnv()),
        registry(m_pEnv->Platform().registry),
        scm(m_pEnv->Platform().scm),
        system(m_pEnv->Platform().system) {
    m_strBase = "SOFTWARE\\qmtestContract" + m_pEnv->UniqueSuffix();
    m_strService = "qmtestContract" + m_pEnv->UniqueSuffix();
  }
  ~SvcContractTest() override {
    m_pEnv->DeleteKeyTree(m_strBase);
    m_pEnv->DeleteServiceNamed(m_strService);
  }
  // Arms the last error so that a call that leaves it alone can be told from one that sets it.
  void Arm() { system.SetLastError(kSentinel); }
  // The test's own demand-start service, given its dependencies (or none).
  CreateServiceArgs ServiceArgs(const char* pszDependencies) const {
    return {m_strService.c_str(),
            "Contract Service",
            kServiceAllAccess,
            kServiceWin32OwnProcess,
            kServiceDemandStart,
            kServiceErrorNormal,
            "C:\\windows\\system32\\qmtest-none.exe",
            nullptr,
            pszDependencies,
            nullptr,
            nullptr};
  }

  std::unique_ptr<IContractEnv> m_pEnv;
  IRegistry& registry;
  IServiceManager& scm;
  ISystem& system;
  std::string m_strBase;
  std::string m_strService;
};

TEST_F(SvcContractTest, RegistryKeysOpenCreateAndEnumerate) {
  Handle hKey = kNoHandle;
  std::uint32_t dwDisposition = 0;
  Arm();
  EXPECT_EQ(registry.OpenKey(kHKeyLocalMachine, m_strBase.c_str(), 0, kKeyRead, &hKey),
            kErrorFileNotFound);
  EXPECT_EQ(hKey, kNoHandle);
  EXPECT_EQ(system.GetLastError(), kSentinel) << "registry results are not last errors";
  Arm();
  EXPECT_EQ(registry.OpenKey(kHKeyLocalMachine, m_strBase.c_str(), 0, kKeyWrite, &hKey),
            kErrorFileNotFound);
  EXPECT_EQ(system.GetLastError(), kSentinel);

  const std::string strB = m_strBase + "\\B";
  Arm();
  ASSERT_EQ(registry.CreateKey(kHKeyLocalMachine, strB.c_str(), "LocalSystem",
                               kRegOptionNonVolatile, kKeyAllAccess, &hKey, &dwDisposition),
            kErrorSuccess);
  EXPECT_EQ(dwDisposition, 1u);  // created
  EXPECT_EQ(system.GetLastError(), kSentinel);
  EXPECT_EQ(registry.CloseKey(hKey), kErrorSuccess);
  ASSERT_EQ(registry.CreateKey(kHKeyLocalMachine, strB.c_str(), "Other", kRegOptionNonVolatile,
                               kKeyAllAccess, &hKey, &dwDisposition),
            kErrorSuccess);
  EXPECT_EQ(dwDisposition, 2u);  // opened as it was
  EXPECT_EQ(registry.CloseKey(hKey), kErrorSuccess);
  ASSERT_EQ(registry.CreateKey(kHKeyLocalMachine, (m_strBase + "\\A").c_str(), "LocalSystem",
                               kRegOptionNonVolatile, kKeyAllAccess, &hKey, &dwDisposition),
            kErrorSuccess);
  EXPECT_EQ(registry.CloseKey(hKey), kErrorSuccess);

  ASSERT_EQ(registry.OpenKey(kHKeyLocalMachine, m_strBase.c_str(), 0, kKeyRead, &hKey),
            kErrorSuccess);
  std::vector<std::string> names;
  char szName[1024];
  char szClass[1024];
  std::uint32_t dwIndex = 0;
  long lResult = kErrorSuccess;
  for (;; ++dwIndex) {
    std::uint32_t cbName = sizeof(szName);
    std::uint32_t cbClass = sizeof(szClass);
    Arm();
    lResult = registry.EnumKey(hKey, dwIndex, szName, &cbName, szClass, &cbClass);
    EXPECT_EQ(system.GetLastError(), kSentinel);
    if (lResult != kErrorSuccess) break;
    EXPECT_EQ(cbName, std::strlen(szName));
    names.push_back(szName);
  }
  EXPECT_EQ(lResult, kErrorNoMoreItems);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B"}));
  std::uint32_t cbTiny = 1;
  std::uint32_t cbClass = sizeof(szClass);
  EXPECT_EQ(registry.EnumKey(hKey, 0, szName, &cbTiny, szClass, &cbClass), kErrorMoreData);

  // The key deleted under an open handle: enumeration fails at every index.
  m_pEnv->DeleteKeyTree(m_strBase);
  std::uint32_t cbName = sizeof(szName);
  cbClass = sizeof(szClass);
  EXPECT_EQ(registry.EnumKey(hKey, 0, szName, &cbName, szClass, &cbClass), kErrorKeyDeleted);
  EXPECT_EQ(registry.CloseKey(hKey), kErrorSuccess);
}

TEST_F(SvcContractTest, RegistryValuesSetAndQuery) {
  Handle hKey = kNoHandle;
  std::uint32_t dwDisposition = 0;
  ASSERT_EQ(registry.CreateKey(kHKeyLocalMachine, m_strBase.c_str(), "LocalSystem",
                               kRegOptionNonVolatile, kKeyAllAccess, &hKey, &dwDisposition),
            kErrorSuccess);
  registry.CloseKey(hKey);

  ASSERT_EQ(registry.OpenKey(kHKeyLocalMachine, m_strBase.c_str(), 0, kKeyRead, &hKey),
            kErrorSuccess);
  const auto* pbAbc = reinterpret_cast<const unsigned char*>("abc");
  Arm();
  EXPECT_EQ(registry.SetValue(hKey, "V", kRegSz, pbAbc, 4), kErrorAccessDenied);
  EXPECT_EQ(system.GetLastError(), kSentinel);
  registry.CloseKey(hKey);

  ASSERT_EQ(registry.OpenKey(kHKeyLocalMachine, m_strBase.c_str(), 0, kKeyWrite, &hKey),
            kErrorSuccess);
  EXPECT_EQ(registry.SetValue(hKey, "V", kRegSz, pbAbc, 4), kErrorSuccess);
  EXPECT_EQ(registry.SetValue(hKey, "Empty", kRegSz, pbAbc + 3, 1), kErrorSuccess);
  EXPECT_EQ(registry.SetValue(hKey, "Expand", kRegExpandSz, pbAbc, 4), kErrorSuccess);
  registry.CloseKey(hKey);

  ASSERT_EQ(registry.OpenKey(kHKeyLocalMachine, m_strBase.c_str(), 0, kKeyRead, &hKey),
            kErrorSuccess);
  unsigned char ab[16] = {};
  std::uint32_t dwType = 0;
  std::uint32_t cb = sizeof(ab);
  Arm();
  EXPECT_EQ(registry.QueryValue(hKey, "V", &dwType, ab, &cb), kErrorSuccess);
  EXPECT_EQ(system.GetLastError(), kSentinel);
  EXPECT_EQ(dwType, kRegSz);
  EXPECT_EQ(cb, 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(ab), 4), "abc\0"s);
  cb = sizeof(ab);
  EXPECT_EQ(registry.QueryValue(hKey, "Empty", &dwType, ab, &cb), kErrorSuccess);
  EXPECT_EQ(cb, 1u);
  cb = sizeof(ab);
  EXPECT_EQ(registry.QueryValue(hKey, "Expand", &dwType, ab, &cb), kErrorSuccess);
  EXPECT_EQ(dwType, kRegExpandSz);
  cb = 2;
  EXPECT_EQ(registry.QueryValue(hKey, "V", &dwType, ab, &cb), kErrorMoreData);
  EXPECT_EQ(cb, 4u);
  cb = sizeof(ab);
  Arm();
  EXPECT_EQ(registry.QueryValue(hKey, "Missing", &dwType, ab, &cb), kErrorFileNotFound);
  EXPECT_EQ(system.GetLastError(), kSentinel);
  EXPECT_EQ(registry.CloseKey(hKey), kErrorSuccess);
}

TEST_F(SvcContractTest, ServiceDatabaseResults) {
  Arm();
  const Handle hManager = scm.OpenSCManager(nullptr, nullptr, kScManagerAllAccess);
  ASSERT_NE(hManager, kNoHandle);

  Arm();
  EXPECT_EQ(scm.OpenService(hManager, m_strService.c_str(), kServiceAllAccess), kNoHandle);
  EXPECT_EQ(system.GetLastError(), kErrorServiceDoesNotExist);

  const char kDependencies[] = "qmtestAlpha\0qmtestBeta\0";
  CreateServiceArgs args = ServiceArgs(kDependencies);
  const Handle hService = scm.CreateService(hManager, args);
  ASSERT_NE(hService, kNoHandle);

  // The service key holds every dependency.
  Handle hKey = kNoHandle;
  const std::string strKey = "SYSTEM\\CurrentControlSet\\Services\\" + m_strService;
  ASSERT_EQ(registry.OpenKey(kHKeyLocalMachine, strKey.c_str(), 0, kKeyRead, &hKey), kErrorSuccess);
  unsigned char ab[256] = {};
  std::uint32_t dwType = 0;
  std::uint32_t cb = sizeof(ab);
  EXPECT_EQ(registry.QueryValue(hKey, "DependOnService", &dwType, ab, &cb), kErrorSuccess);
  EXPECT_EQ(dwType, kRegMultiSz);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(ab), cb), "qmtestAlpha\0qmtestBeta\0\0"s);
  registry.CloseKey(hKey);

  for (const std::string& strName : {m_strService, "QMTESTCONTRACT" + m_pEnv->UniqueSuffix()}) {
    args.serviceName = strName.c_str();
    Arm();
    EXPECT_EQ(scm.CreateService(hManager, args), kNoHandle) << strName;
    EXPECT_EQ(system.GetLastError(), kErrorServiceExists) << strName;
  }
  args.serviceName = m_strService.c_str();

  std::vector<unsigned char> block(4096);
  std::uint32_t cbNeeded = 0;
  std::uint32_t dwStartType = 99;
  EXPECT_TRUE(scm.QueryServiceConfig(hService, block.data(), 4096, &cbNeeded, &dwStartType));
  EXPECT_EQ(dwStartType, kServiceDemandStart);
  Arm();
  EXPECT_FALSE(scm.QueryServiceConfig(hService, block.data(), 8, &cbNeeded, &dwStartType));
  EXPECT_EQ(system.GetLastError(), static_cast<std::uint32_t>(kErrorInsufficientBuffer));
  EXPECT_GT(cbNeeded, 8u);

  ServiceStatus status;
  EXPECT_TRUE(scm.QueryServiceStatus(hService, &status));
  EXPECT_EQ(status.currentState, kServiceStopped);
  status.processId = 99;
  EXPECT_TRUE(scm.QueryServiceStatusEx(hService, &status));
  EXPECT_EQ(status.currentState, kServiceStopped);
  EXPECT_EQ(status.processId, 0u);
  // One enumeration lists every service, ours among them, stopped and without a process, with
  // the exit codes its own query tells.
  using Seen = std::array<std::uint32_t, 4>;
  struct CSink : IServiceListSink {
    void OnService(const char* name, const ServiceStatus& status) override {
      ++nServices;
      if (strWanted == name) {
        seen.push_back({status.currentState, status.processId, status.win32ExitCode,
                        status.serviceSpecificExitCode});
      }
    }
    std::string strWanted;
    std::size_t nServices = 0;
    std::vector<Seen> seen;
  } sink;
  sink.strWanted = m_strService;
  EXPECT_TRUE(scm.EnumServices(hManager, sink));
  EXPECT_EQ(sink.seen, (std::vector<Seen>{{kServiceStopped, 0, status.win32ExitCode,
                                           status.serviceSpecificExitCode}}));
  EXPECT_GE(sink.nServices, 1u);
  Arm();
  EXPECT_FALSE(scm.ControlService(hService, kServiceControlStop, &status));
  EXPECT_EQ(system.GetLastError(), kErrorServiceNotActive);

  EXPECT_TRUE(scm.DeleteService(hService));
  Arm();
  EXPECT_FALSE(scm.DeleteService(hService));
  EXPECT_EQ(system.GetLastError(), kErrorServiceMarkedForDelete);
  Arm();
  EXPECT_EQ(scm.CreateService(hManager, args), kNoHandle);
  EXPECT_EQ(system.GetLastError(), kErrorServiceMarkedForDelete);

  // Gone once the last handle to it is closed.
  EXPECT_TRUE(scm.CloseServiceHandle(hService));
  Arm();
  EXPECT_EQ(scm.OpenService(hManager, m_strService.c_str(), kServiceAllAccess), kNoHandle);
  EXPECT_EQ(system.GetLastError(), kErrorServiceDoesNotExist);
  EXPECT_TRUE(scm.CloseServiceHandle(hManager));
}

// What the command line's edits rely on: the configuration as read back after a change, the
// description, and deleting a value.
TEST_F(SvcContractTest, ConfigurationChangesAndValueDeletion) {
  const Handle hManager = scm.OpenSCManager(nullptr, nullptr, kScManagerAllAccess);
  ASSERT_NE(hManager, kNoHandle);
  const CreateServiceArgs args = ServiceArgs(nullptr);
  const Handle hService = scm.CreateService(hManager, args);
  ASSERT_NE(hService, kNoHandle);

  ServiceConfigInfo info;
  ASSERT_TRUE(scm.QueryConfig(hService, &info));
  EXPECT_EQ(info.startType, kServiceDemandStart);
  EXPECT_STREQ(info.szDisplayName, "Contract Service");
  EXPECT_STREQ(info.szBinaryPath, "C:\\windows\\system32\\qmtest-none.exe");
  EXPECT_STREQ(info.szStartName, "LocalSystem");

  ChangeServiceArgs change;
  change.startType = kServiceDisabled;
  change.displayName = "Renamed";
  ASSERT_TRUE(scm.ChangeServiceConfig(hService, change));
  ASSERT_TRUE(scm.QueryConfig(hService, &info));
  EXPECT_EQ(info.startType, kServiceDisabled);
  EXPECT_STREQ(info.szDisplayName, "Renamed");
  ChangeServiceArgs keep;  // nothing named, nothing changed
  ASSERT_TRUE(scm.ChangeServiceConfig(hService, keep));
  ASSERT_TRUE(scm.QueryConfig(hService, &info));
  EXPECT_EQ(info.startType, kServiceDisabled);
  EXPECT_STREQ(info.szStartName, "LocalSystem");

  char szDescription[64] = "x";
  ASSERT_TRUE(scm.ChangeDescription(hService, "Described"));
  ASSERT_TRUE(scm.QueryDescription(hService, szDescription, sizeof(szDescription)));
  EXPECT_STREQ(szDescription, "Described");
  EXPECT_TRUE(scm.DeleteService(hService));
  EXPECT_TRUE(scm.CloseServiceHandle(hService));
  EXPECT_TRUE(scm.CloseServiceHandle(hManager));

  Handle hKey = kNoHandle;
  std::uint32_t dwDisposition = 0;
  ASSERT_EQ(registry.CreateKey(kHKeyLocalMachine, m_strBase.c_str(), nullptr, 0, kKeyAllAccess,
                               &hKey, &dwDisposition),
            kErrorSuccess);
  const unsigned char abData[] = "v";
  ASSERT_EQ(registry.SetValue(hKey, "Gone", kRegSz, abData, 2), kErrorSuccess);
  EXPECT_EQ(registry.DeleteValue(hKey, "Gone"), kErrorSuccess);
  EXPECT_EQ(registry.DeleteValue(hKey, "Gone"), kErrorFileNotFound);
  std::uint32_t cb = 0;
  EXPECT_EQ(registry.QueryValue(hKey, "Gone", nullptr, nullptr, &cb), kErrorFileNotFound);
  registry.CloseKey(hKey);
  EXPECT_TRUE(system.IsElevated());  // the tests run as an administrator
}

// What install, set StopTimeout and apply rely on: the pre-shutdown timeout is kept as given
// and read back, and only a handle that may change the configuration changes it.
TEST_F(SvcContractTest, PreshutdownTimeoutIsKeptAndReadBack) {
  // What a new service has: Wine's default, Windows' before Windows 10 1703 (10000 since).
  constexpr std::uint32_t kNewServiceTimeoutMs = 180000;
  const Handle hManager = scm.OpenSCManager(nullptr, nullptr, kScManagerAllAccess);
  ASSERT_NE(hManager, kNoHandle);
  const Handle hService = scm.CreateService(hManager, ServiceArgs(nullptr));
  ASSERT_NE(hService, kNoHandle);
  std::uint32_t dwTimeout = 0;
  ASSERT_TRUE(scm.QueryPreshutdownTimeout(hService, &dwTimeout));
  EXPECT_EQ(dwTimeout, kNewServiceTimeoutMs);
  for (const std::uint32_t dwSet : {605000u, 20000u, kNewServiceTimeoutMs}) {
    ASSERT_TRUE(scm.ChangePreshutdownTimeout(hService, dwSet)) << dwSet;
    ASSERT_TRUE(scm.QueryPreshutdownTimeout(hService, &dwTimeout));
    EXPECT_EQ(dwTimeout, dwSet);
  }

  const Handle hReader = scm.OpenService(hManager, m_strService.c_str(), kServiceQueryConfig);
  ASSERT_NE(hReader, kNoHandle);
  Arm();
  EXPECT_FALSE(scm.ChangePreshutdownTimeout(hReader, 30000));
  EXPECT_EQ(system.GetLastError(), static_cast<std::uint32_t>(kErrorAccessDenied));
  ASSERT_TRUE(scm.QueryPreshutdownTimeout(hReader, &dwTimeout));
  EXPECT_EQ(dwTimeout, kNewServiceTimeoutMs);
  EXPECT_TRUE(scm.CloseServiceHandle(hReader));
  EXPECT_TRUE(scm.DeleteService(hService));
  EXPECT_TRUE(scm.CloseServiceHandle(hService));
  EXPECT_TRUE(scm.CloseServiceHandle(hManager));
}

// The failure actions and their flag: what set Recovery writes and get reads back. Wine's
// manager keeps none of them: it refuses to tell them (ERROR_INVALID_LEVEL), takes a change of
// the actions and stores nothing, and refuses the flag (ERROR_INVALID_PARAMETER). Its answers
// are pinned here, so that a Wine that learns them shows up.
TEST_F(SvcContractTest, FailureActionsAndTheirFlag) {
  const Handle hManager = scm.OpenSCManager(nullptr, nullptr, kScManagerAllAccess);
  ASSERT_NE(hManager, kNoHandle);
  const Handle hService = scm.CreateService(hManager, ServiceArgs(nullptr));
  ASSERT_NE(hService, kNoHandle);
  const bool bWine = m_pEnv->IsWine();
  FailureActions read;
  read.count = 99;
  Arm();
  ASSERT_EQ(scm.QueryFailureActions(hService, &read), !bWine);
  EXPECT_EQ(system.GetLastError(),
            bWine ? static_cast<std::uint32_t>(kErrorInvalidLevel) : kSentinel);
  if (!bWine) {
    EXPECT_EQ(read.count, 0u);  // a new service has none
  }

  FailureActions actions;
  actions.resetSeconds = 3600;
  actions.count = 3;
  actions.actions[0] = {kScActionRestart, 60000};
  actions.actions[1] = {kScActionRunCommand, 1000};
  actions.actions[2] = {kScActionNone, 0};
  ASSERT_TRUE(scm.ChangeFailureActions(hService, actions));
  Arm();
  EXPECT_EQ(scm.ChangeFailureActionsFlag(hService, true), !bWine);
  EXPECT_EQ(system.GetLastError(),
            bWine ? static_cast<std::uint32_t>(kErrorInvalidParameter) : kSentinel);
  if (!bWine) {
    ASSERT_TRUE(scm.QueryFailureActions(hService, &read));
    EXPECT_EQ(read.resetSeconds, 3600u);
    ASSERT_EQ(read.count, 3u);
    for (std::uint32_t i = 0; i < 3; ++i) {
      EXPECT_EQ(read.actions[i].type, actions.actions[i].type) << i;
      EXPECT_EQ(read.actions[i].delayMs, actions.actions[i].delayMs) << i;
    }
  }
  // A count of 0 deletes the actions and the period.
  actions.count = 0;
  ASSERT_TRUE(scm.ChangeFailureActions(hService, actions));
  if (!bWine) {
    ASSERT_TRUE(scm.QueryFailureActions(hService, &read));
    EXPECT_EQ(read.count, 0u);
  }
  EXPECT_TRUE(scm.DeleteService(hService));
  EXPECT_TRUE(scm.CloseServiceHandle(hService));
  EXPECT_TRUE(scm.CloseServiceHandle(hManager));
}

// The security policy as granting "Log on as a service" uses it. An unknown account is not
// mapped; a group every machine has is found. Wine's policy holds no rights: every account
// holds none (STATUS_OBJECT_NAME_NOT_FOUND), and adding one succeeds and stores nothing, so
// a grant there always says "granted". The right is added only where nothing is kept.
TEST_F(SvcContractTest, AccountRights) {
  IAccountRights& rights = m_pEnv->Rights();
  Sid sid;
  Arm();
  EXPECT_FALSE(rights.LookupAccountName("qmtest-nobody", &sid));
  EXPECT_EQ(system.GetLastError(), 1332u);  // ERROR_NONE_MAPPED
  ASSERT_TRUE(rights.LookupAccountName("Administrators", &sid));
  EXPECT_GT(sid.cb, 0u);
  Handle hRaw = kNoHandle;
  ASSERT_EQ(rights.LsaOpenPolicy(kPolicyLookupNames | kPolicyCreateAccount, &hRaw), kStatusSuccess);
  const CPolicyHandle policy = OwnPolicy(rights, hRaw);
  std::vector<std::string> held = {"stale"};
  const NtStatus status = rights.LsaEnumerateAccountRights(policy.get(), sid, &held);
  if (status == kStatusObjectNameNotFound) {
    EXPECT_TRUE(held.empty());
  } else {
    EXPECT_EQ(status, kStatusSuccess);
    EXPECT_FALSE(held.empty());
  }
  EXPECT_EQ(rights.LsaNtStatusToWinError(kStatusObjectNameNotFound), 2u);
  if (!m_pEnv->IsWine()) return;
  EXPECT_EQ(rights.LsaAddAccountRights(policy.get(), sid, kServiceLogonRight), kStatusSuccess);
  EXPECT_EQ(rights.LsaEnumerateAccountRights(policy.get(), sid, &held), kStatusObjectNameNotFound);
}

TEST_F(SvcContractTest, KernelServices) {
  char* pszText = nullptr;
  const std::uint32_t dwFlags = kFormatMessageAllocateBuffer | kFormatMessageFromSystem |
                                kFormatMessageArgumentArray | kFormatMessageIgnoreInserts;
  const std::uint32_t cch = system.FormatMessage(dwFlags, 5, 0, &pszText);
  ASSERT_GT(cch, 2u);
  ASSERT_NE(pszText, nullptr);
  EXPECT_EQ(std::strlen(pszText), cch);
  EXPECT_EQ(std::string(pszText + cch - 2), "\r\n");
  system.FreeMessageText(pszText);

  pszText = nullptr;
  EXPECT_EQ(system.FormatMessage(dwFlags, 0x2fffffff, 0, &pszText), 0u);
  EXPECT_EQ(pszText, nullptr);

  // A module path that does not fit is cut, and the result is the capacity.
  char sz[260];
  const std::uint32_t cchPath = system.GetModuleFileName(sz, sizeof(sz));
  ASSERT_GT(cchPath, 4u);
  ASSERT_LT(cchPath, sizeof(sz));
  EXPECT_EQ(std::strlen(sz), cchPath);
  char szSmall[4] = {'x', 'x', 'x', 'x'};
  Arm();
  EXPECT_EQ(system.GetModuleFileName(szSmall, sizeof(szSmall)), 4u);
  // Neither a terminating NUL nor a last error can be counted on for a cut path.
  EXPECT_EQ(std::string(szSmall, 3), std::string(sz, 3));

  void* pBlock = system.GlobalAlloc(4096);
  ASSERT_NE(pBlock, nullptr);
  static_cast<char*>(pBlock)[4095] = 1;
  system.GlobalFree(pBlock);
}

}  // namespace
}  // namespace qm::platform::test
