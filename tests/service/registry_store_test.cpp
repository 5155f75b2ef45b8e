// The registry store: the registered-service list and the marker test.

#include "service/registry_store.h"

#include <gtest/gtest.h>

#include <string>

#include "service/service_commands.h"
#include "tests/platform/fake_platform.h"

namespace qm::svc::test {
namespace {

using namespace qm::platform::test;

using namespace std::string_literals;

constexpr const char* kServices = "SYSTEM\\CurrentControlSet\\Services";

class SvcRegistryStoreTest : public ::testing::Test {
 protected:
  void SetInstaller(const std::string& strService, std::uint32_t type, const std::string& data) {
    fake.SetValue(std::string(kServices) + "\\" + strService + "\\Parameters", "Installer", type,
                  data);
  }
  CFakePlatform fake;
  CServiceCommands commands{fake.Platform()};
};

TEST_F(SvcRegistryStoreTest, ListHoldsEverySubkeyInReverseOrderAndLooksUpExactly) {
  fake.AddService("Alpha", 3);
  fake.AddService("MyApp", 3);
  fake.AddService("Zeta", 3);
  commands.LoadServiceList();
  ASSERT_NE(commands.ServiceList(), nullptr);
  EXPECT_EQ(commands.ServiceList()->Names(), (std::deque<std::string>{"Zeta", "MyApp", "Alpha"}));
  EXPECT_TRUE(commands.ServiceList()->Contains("MyApp"));
  EXPECT_FALSE(commands.ServiceList()->Contains("myapp"));
  EXPECT_FALSE(commands.ServiceList()->Contains("MyAp"));
  EXPECT_FALSE(commands.ServiceList()->Contains("MyApp2"));
  EXPECT_EQ(fake.m_calls[0],
            "RegOpenKeyEx(0xffffffff80000002,\"" + std::string(kServices) + "\",0,0x20019)");
  EXPECT_EQ(fake.OpenHandleCount(), 0u);

  // Each rebuild starts afresh.
  fake.DeleteKeyTree(std::string(kServices) + "\\Zeta");
  commands.LoadServiceList();
  EXPECT_EQ(commands.ServiceList()->Count(), 2u);
}

TEST_F(SvcRegistryStoreTest, UnopenableServicesKeyGivesAnEmptyList) {
  fake.AddService("Alpha", 3);
  fake.FailCall("RegOpenKeyEx", 5);
  commands.LoadServiceList();
  ASSERT_NE(commands.ServiceList(), nullptr);
  EXPECT_EQ(commands.ServiceList()->Count(), 0u);
  EXPECT_EQ(fake.CountCalls("RegEnumKeyEx"), 0);
}

TEST_F(SvcRegistryStoreTest, DeletedKeyEndsTheWalkAfterARunOfFailures) {
  for (int i = 0; i < 5; ++i) fake.AddService("Svc" + std::to_string(i), 3);
  // A key deleted under the walk answers every index with an error: the walk must end.
  fake.m_onEnter = [this](const std::string& strCall) {
    if (strCall == "RegEnumKeyEx") fake.DeleteKeyTree(kServices);
  };
  commands.LoadServiceList();
  EXPECT_EQ(commands.ServiceList()->Count(), 0u);
  EXPECT_EQ(fake.CountCalls("RegEnumKeyEx"), 2 * kMaxFailedEnumRun);  // each index read twice
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
}

TEST_F(SvcRegistryStoreTest, FailingIndexIsReadAgainWithoutItsClassAndSkippedOnlyIfItStillFails) {
  for (int i = 0; i < 5; ++i) fake.AddService("Svc" + std::to_string(i), 3);
  // A class longer than the buffer: ERROR_MORE_DATA at its index, read again without it.
  fake.FindKey(std::string(kServices) + "\\Svc1")->strClass = std::string(2000, 'c');
  commands.LoadServiceList();
  EXPECT_EQ(commands.ServiceList()->Names(),
            (std::deque<std::string>{"Svc4", "Svc3", "Svc2", "Svc1", "Svc0"}));

  // Index 2 fails with and without its class (calls 3 and 4 of this walk): only it is lost.
  const int nBefore = fake.CountCalls("RegEnumKeyEx");
  fake.FailCall("RegEnumKeyEx", 5, nBefore + 4);
  fake.FailCall("RegEnumKeyEx", 5, nBefore + 5);
  commands.LoadServiceList();
  EXPECT_EQ(commands.ServiceList()->Names(),
            (std::deque<std::string>{"Svc4", "Svc3", "Svc1", "Svc0"}));
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
}

TEST_F(SvcRegistryStoreTest, OwnInstallMarkers) {
  const std::pair<std::string, bool> cases[] = {
      {"quillmnt\0"s, true},   {"QUILLMNT\0"s, true},    {"Bramble\0"s, true}, {"bRAMBLE\0"s, true},
      {"quillmnt2\0"s, false}, {"Bramblex\0"s, false},   {"\0"s, false},       {""s, false},
      {"quill\0"s, false},     {"quillmnt\0junk"s, true}};
  int n = 0;
  for (const auto& [strData, bExpected] : cases) {
    const std::string strName = "S" + std::to_string(n++);
    SetInstaller(strName, kRegSz, strData);
    EXPECT_EQ(commands.IsOwnInstall(strName.c_str()), bExpected) << strData;
  }
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
}

TEST_F(SvcRegistryStoreTest, OnlyStringTypesCount) {
  SetInstaller("Expand", kRegExpandSz, "quillmnt\0"s);
  SetInstaller("Dword", kRegDword, "quillmnt\0"s);
  SetInstaller("Binary", kRegBinary, "quillmnt\0"s);
  fake.AddService("NoParams", 2);
  EXPECT_TRUE(commands.IsOwnInstall("Expand"));
  EXPECT_FALSE(commands.IsOwnInstall("Dword"));
  EXPECT_FALSE(commands.IsOwnInstall("Binary"));
  EXPECT_FALSE(commands.IsOwnInstall("NoParams"));
  EXPECT_FALSE(commands.IsOwnInstall("Missing"));
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
}

TEST_F(SvcRegistryStoreTest, UnterminatedOrOversizedValuesAreReadSafely) {
  // 1024 bytes without a NUL: the comparison must stop inside the buffer.
  SetInstaller("Full", kRegSz, std::string(1024, 'q'));
  EXPECT_FALSE(commands.IsOwnInstall("Full"));
  // Larger than the buffer: the read fails.
  SetInstaller("Huge", kRegSz, std::string(2000, 'q'));
  EXPECT_FALSE(commands.IsOwnInstall("Huge"));
  // An unterminated marker still compares as the marker.
  SetInstaller("Bare", kRegSz, "quillmnt"s);
  EXPECT_TRUE(commands.IsOwnInstall("Bare"));
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
}

TEST_F(SvcRegistryStoreTest, PrimitivesCloseTheirKeysAndNeverCreateOnWrite) {
  const std::string strKey = "SOFTWARE\\Qm\\Parameters";
  IRegistry& registry = fake;
  ISystem& system = fake;
  EXPECT_FALSE(WriteRegString(registry, system, "v", 2, kHKeyLocalMachine, strKey.c_str(), "V"));
  EXPECT_EQ(fake.FindKey(strKey), nullptr);
  EXPECT_TRUE(CreateRegKey(registry, system, kHKeyLocalMachine, strKey.c_str()));
  EXPECT_TRUE(WriteRegString(registry, system, "v", 2, kHKeyLocalMachine, strKey.c_str(), "V"));
  // An existing key counts as success and keeps its values.
  EXPECT_TRUE(CreateRegKey(registry, system, kHKeyLocalMachine, strKey.c_str()));
  char sz[16] = {};
  std::uint32_t cb = sizeof(sz);
  EXPECT_TRUE(ReadRegString(registry, system, sz, &cb, kHKeyLocalMachine, strKey.c_str(), "V"));
  EXPECT_STREQ(sz, "v");
  EXPECT_EQ(cb, 2u);
  EXPECT_FALSE(ReadRegString(registry, system, sz, &cb, kHKeyLocalMachine, strKey.c_str(), "W"));
  EXPECT_EQ(fake.CountCalls("RegCloseKey"), 5);
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
  // A failed set still closes the key.
  fake.FailCall("RegSetValueEx", 5);
  EXPECT_FALSE(WriteRegString(registry, system, "v", 2, kHKeyLocalMachine, strKey.c_str(), "V"));
  EXPECT_EQ(fake.OpenHandleCount(), 0u);
  EXPECT_EQ(OpenKeyForRead(registry, kHKeyLocalMachine, "SOFTWARE\\Nowhere"), kNoHandle);
}

}  // namespace
}  // namespace qm::svc::test
