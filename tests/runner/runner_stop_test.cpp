// How the runner stops the programs of its services, and what it refuses to start, under the
// prefix's real Service Control Manager with probe.exe as the program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "contract/runner_contract.h"
#include "tests/runner/service_fixture.h"

namespace qm::runner::test {
namespace {

namespace value = contract::value;

// A stop the program heard ends well inside this; a test that fails fails after it.
constexpr DWORD kHeardWithinMs = 8000;

// Each program hears the stop request and ends by it: nothing is ended by force, as it would be
// at the StopTimeout (the highest accepted, so that a forced end shows plainly).
TEST(RunnerStop, ConsoleProgramsAndBatchFilesHearCtrlCEvenWhileStillStartingUp) {
  struct Case {
    const char* pszName;
    const char* pszOptions;
    bool bWaitForStart;  // false: the stop follows SERVICE_RUNNING at once
    bool bBatch;         // started through a batch file, which stops without a prompt
  };
  const Case cases[] = {
      // Only a Ctrl+C handler, as Java, Node, Python and .NET programs have.
      {"Plain", "", true, false},
      // Deaf to the stop for its first 300 ms: only a repeated request reaches it.
      {"Late", "--deaf-ms 300", false, false},
      {"Batch", "--print batch", true, true},
  };
  for (const Case& test : cases) {
    CServiceFixture service(test.pszName);
    std::string strRecord = service.Record();
    if (test.bBatch) {
      std::string strBatch = service.Folder() + "run probe.cmd";
      ASSERT_TRUE(WriteText(strBatch, "@echo off\r\n" + Quoted(ProbePath()) + " --record " +
                                          Quoted(strRecord) + " %*\r\necho after\r\n"));
      ASSERT_TRUE(service.Install(strBatch, test.pszOptions, ""));
    } else {
      ASSERT_TRUE(service.InstallProbe(test.pszOptions));
    }
    service.SetDwordParameter(value::kStopTimeout, contract::kMaxStopTimeoutMs);
    ASSERT_TRUE(service.Start());
    ASSERT_EQ(service.WaitForState(SERVICE_RUNNING, 10000, 1).dwCurrentState, SERVICE_RUNNING)
        << test.pszName;
    // At the system's shutdown the program is asked to end like at a stop (which controls
    // start that is tested natively): the manager must send the runner that control.
    EXPECT_NE(service.Query().dwControlsAccepted & SERVICE_ACCEPT_SHUTDOWN, 0u) << test.pszName;
    if (test.bWaitForStart) {
      ASSERT_TRUE(WaitForRecord(strRecord, 10000)) << test.pszName;
      ASSERT_TRUE(service.HoldJob(PidOf(strRecord))) << test.pszName;
    }
    ULONGLONG ullStart = ::GetTickCount64();
    ASSERT_TRUE(service.Stop());
    DWORD dwLeft = 0;
    SERVICE_STATUS_PROCESS status = service.WaitForStopped(kHeardWithinMs, &dwLeft);
    ULONGLONG ullTook = ::GetTickCount64() - ullStart;
    std::printf("%s program: stop request to SERVICE_STOPPED in %llu ms\n", test.pszName,
                static_cast<unsigned long long>(ullTook));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED) << test.pszName;
    EXPECT_EQ(status.dwWin32ExitCode, 0u) << test.pszName;
    if (test.bWaitForStart) {
      EXPECT_EQ(dwLeft, 0u) << test.pszName;
    }
    std::string strText = ReadFileText(strRecord);
    EXPECT_NE(strText.find("ended-by=ctrl-c"), std::string::npos) << test.pszName << strText;
    // It ran in the job from its first instruction on: nothing it starts can escape.
    EXPECT_EQ(RecordValue(strText, "in-job"), "1") << test.pszName << strText;
    if (test.bBatch) {
      EXPECT_NE(strText.find("arg=batch\n"), std::string::npos) << strText;
    }
  }
}

// Nothing the program started may still run when the manager hears that the service stopped:
// the runner's own exit, which would end them a moment later, does not count.
TEST(RunnerStop, EverythingTheProgramStartedIsGoneWhenStoppedIsReported) {
  // Ignores every request: ended at the default StopTimeout, which services the tool
  // installs rely on.
  CServiceFixture stubborn("Deaf");
  ASSERT_TRUE(stubborn.InstallProbe("--ignore-stop", true));
  // Ends by itself while its child goes on running.
  CServiceFixture ending("Ends");
  ASSERT_TRUE(ending.InstallProbe("--run-ms 3000 --exit 0", true));
  ASSERT_TRUE(stubborn.Start());
  ASSERT_TRUE(ending.Start());
  ASSERT_TRUE(WaitForRecord(stubborn.Record(), 10000));
  ASSERT_TRUE(WaitForRecord(ending.Record(), 10000));
  ASSERT_TRUE(stubborn.HoldJob(PidOf(stubborn.Record())));
  ASSERT_TRUE(ending.HoldJob(PidOf(ending.Record())));
  EXPECT_GE(stubborn.ProcessesInJob(), 2u);  // with Wine's console host, 3

  ULONGLONG ullStart = ::GetTickCount64();
  ASSERT_TRUE(stubborn.Stop());
  DWORD dwLeft = 0;
  SERVICE_STATUS_PROCESS status = ending.WaitForStopped(10000, &dwLeft);
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(dwLeft, 0u) << "left running by the program that ended by itself";

  // The default of 15 s that services the tool installs rely on, give or take the machine's
  // pace.
  constexpr DWORD kDefaultMs = 15000;
  status = stubborn.WaitForStopped(kDefaultMs + 10000, &dwLeft);
  ULONGLONG ullTook = ::GetTickCount64() - ullStart;
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(dwLeft, 0u) << "left running after the stop timeout";
  EXPECT_GE(ullTook, kDefaultMs - 1000);
  EXPECT_LT(ullTook, kDefaultMs + 7000);
}

// Makes strLink a symbolic link to strTarget: a Windows link where the system makes them,
// the host's link where it does not (Wine, whose files are the host's).
bool MakeFileLink(const std::string& strLink, const std::string& strTarget) {
  const std::string strHostTarget = HostPath(strTarget);
  if (strHostTarget.empty()) {
    return ::CreateSymbolicLinkA(strLink.c_str(), strTarget.c_str(),
                                 SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != 0;
  }
  return RunHostCommand("ln -s '" + strHostTarget + "' '" + HostPath(strLink) + "'");
}

TEST(RunnerRefuses, OutputFilesThatAreLinksAndOverLongStopTimeouts) {
  struct Case {
    const char* pszName;
    const char* pszValue;  // Stdout or Stderr: a link; nullptr: the StopTimeout case
    bool bTargetExists;
  };
  const Case cases[] = {
      {"LinkOut", value::kStdout, true},
      {"Dangling", value::kStderr, false},
      {"LongStop", nullptr, false},
  };
  for (const Case& test : cases) {
    CServiceFixture service(test.pszName);
    std::string strTarget = service.Folder() + "precious.txt";
    std::string strLink = service.Folder() + "service.log";
    ASSERT_TRUE(service.InstallProbe("--print leak"));
    ASSERT_TRUE(!test.bTargetExists || WriteText(strTarget, "precious\n"));
    if (test.pszValue) {
      ASSERT_TRUE(MakeFileLink(strLink, strTarget)) << test.pszName;
      service.SetStringParameter(test.pszValue, strLink);
    } else {
      // Ten minutes is the most (accepted by the stop tests above); one more is refused.
      service.SetDwordParameter(value::kStopTimeout, contract::kMaxStopTimeoutMs + 1);
    }
    service.ExpectStartFails(1610);  // ERROR_BAD_CONFIGURATION
    if (test.bTargetExists) {
      EXPECT_EQ(ReadFileText(strTarget), "precious\n") << test.pszName;
    } else {
      EXPECT_EQ(::GetFileAttributesA(strTarget.c_str()), INVALID_FILE_ATTRIBUTES) << test.pszName;
    }
    ::DeleteFileA(strLink.c_str());
  }
}

// Deletes a file when the test ends, however it ends.
struct CFileRemover {
  std::string m_strPath;
  ~CFileRemover() { ::DeleteFileA(m_strPath.c_str()); }
};

TEST(RunnerService, ABareRunfileIsTakenFromTheSearchPathNotFromBesideTheRunner) {
  std::string strName = "qmbare" + std::to_string(::GetCurrentProcessId()) + ".exe";
  char szWindows[MAX_PATH] = "";
  ASSERT_NE(::GetWindowsDirectoryA(szWindows, sizeof(szWindows)), 0u);
  // The Windows folder is on the system's search path; the runner's folder is not. Removed
  // after the service, which runs one of them.
  CFileRemover onPath{std::string(szWindows) + "\\" + strName};
  CFileRemover besideRunner{TestBinFolder() + strName};
  CServiceFixture service("Bare");
  ASSERT_TRUE(::CopyFileA(ProbePath().c_str(), onPath.m_strPath.c_str(), FALSE));
  ASSERT_TRUE(::CopyFileA(ProbePath().c_str(), besideRunner.m_strPath.c_str(), FALSE));
  std::string strRecord = service.Record();
  ASSERT_TRUE(service.Install(strName, "--record " + Quoted(strRecord), ""));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForRecord(strRecord, 10000));
  std::string strText = ReadFileText(strRecord);
  EXPECT_EQ(_stricmp(RecordValue(strText, "exe").c_str(), onPath.m_strPath.c_str()), 0) << strText;
  // Started by its full path, as its own command line shows.
  std::string strCommandLine = RecordValue(strText, "cmdline");
  EXPECT_EQ(_strnicmp(strCommandLine.c_str(), onPath.m_strPath.c_str(), onPath.m_strPath.size()), 0)
      << strText;
  EXPECT_EQ(service.StopAndWait(kHeardWithinMs).dwCurrentState, SERVICE_STOPPED);
}

}  // namespace
}  // namespace qm::runner::test
