// The runner as the Service Control Manager runs it, with probe.exe as the service's program.
#include <gtest/gtest.h>

#include <string>

#include "tests/runner/service_fixture.h"

namespace qm::runner::test {
namespace {

constexpr DWORD kStateTimeoutMs = 20000;

std::string Probe() {
  return BinFolder() + "probe.exe";
}

// The folder without its trailing backslash, as GetCurrentDirectory reports it.
std::string Bare(const std::string& strFolder) {
  return strFolder.substr(0, strFolder.size() - 1);
}

DWORD PidOf(const std::string& strRecordPath) {
  return static_cast<DWORD>(std::stoul("0" + RecordValue(ReadFileText(strRecordPath), "pid")));
}

TEST(RunnerService, RunsTheProgramWithItsArgumentsInItsDirectoryUntilStopped) {
  CServiceFixture service("Basic");
  std::string strRecord = service.Folder() + "record.txt";
  ASSERT_TRUE(service.Install(Probe(), "--record \"" + strRecord + "\" plain", service.Folder()));
  ASSERT_TRUE(service.Start());
  EXPECT_EQ(service.WaitForState(SERVICE_RUNNING, kStateTimeoutMs).dwCurrentState, SERVICE_RUNNING);
  ASSERT_TRUE(WaitForFile(strRecord, 10000));
  std::string strText = ReadFileText(strRecord);
  EXPECT_EQ(RecordValue(strText, "cwd"), Bare(service.Folder()));
  EXPECT_NE(strText.find("arg=plain\n"), std::string::npos) << strText;
  DWORD dwPid = PidOf(strRecord);
  ASSERT_NE(dwPid, 0u);
  EXPECT_FALSE(ProcessEnded(dwPid));

  ASSERT_TRUE(service.Stop());
  SERVICE_STATUS_PROCESS status = service.WaitForState(SERVICE_STOPPED, kStateTimeoutMs);
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(status.dwWin32ExitCode, 0u);
  EXPECT_TRUE(ProcessEnded(dwPid));
}

}  // namespace
}  // namespace qm::runner::test
