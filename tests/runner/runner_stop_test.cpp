// How the runner stops the programs of its services, and what it refuses to start, under the
// prefix's real Service Control Manager with probe.exe as the program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/runner_contract.h"
#include "tests/runner/service_fixture.h"

namespace qm::runner::test {
namespace {

namespace value = contract::value;

// Long enough that a program ended by force instead of by its stop request shows plainly.
constexpr DWORD kLongStopTimeoutMs = 20000;
// A stop the program heard ends well inside this; a test that fails fails after it.
constexpr DWORD kHeardWithinMs = 8000;

std::string Probe() {
  return BinFolder() + "probe.exe";
}

DWORD PidOf(const std::string& strRecordPath) {
  std::string strPid = RecordValue(ReadFileText(strRecordPath), "pid");
  return static_cast<DWORD>(std::strtoul(strPid.c_str(), nullptr, 10));
}

// Waits for SERVICE_RUNNING without the fixture's 50 ms pauses, so that a stop follows it at
// once.
bool WaitRunningTightly(CServiceFixture& service) {
  ULONGLONG ullEnd = ::GetTickCount64() + 10000;
  while (::GetTickCount64() < ullEnd) {
    DWORD dwState = service.Query().dwCurrentState;
    if (dwState == SERVICE_RUNNING) return true;
    if (dwState == SERVICE_STOPPED) return false;
    ::Sleep(1);
  }
  return false;
}

TEST(RunnerStop, AConsoleProgramHearsCtrlCEvenWhileItIsStillStartingUp) {
  struct Case {
    const char* pszName;
    const char* pszArguments;
    bool bWaitForStart;  // false: the stop follows SERVICE_RUNNING at once
  };
  const Case cases[] = {
      // Only a Ctrl+C handler, as Java, Node, Python and .NET programs have.
      {"Plain", "", true},
      // Deaf to the stop for its first 300 ms: only a repeated request reaches it.
      {"Late", "--deaf-ms 300", false},
  };
  for (const Case& test : cases) {
    CServiceFixture service(test.pszName);
    std::string strRecord = service.Folder() + "record.txt";
    ASSERT_TRUE(service.Install(
        Probe(), std::string(test.pszArguments) + " --record \"" + strRecord + "\"", ""));
    service.SetDwordParameter(value::kStopTimeout, kLongStopTimeoutMs);
    ASSERT_TRUE(service.Start());
    ASSERT_TRUE(WaitRunningTightly(service)) << test.pszName;
    // At the system's shutdown the program is asked to end like at a stop (which controls
    // start that is tested natively): the manager must send the runner that control.
    EXPECT_NE(service.Query().dwControlsAccepted & SERVICE_ACCEPT_SHUTDOWN, 0u);
    if (test.bWaitForStart) {
      ASSERT_TRUE(WaitForFile(strRecord, 10000));
    }
    ULONGLONG ullStart = ::GetTickCount64();
    ASSERT_TRUE(service.Stop());
    SERVICE_STATUS_PROCESS status = service.WaitForState(SERVICE_STOPPED, kHeardWithinMs);
    ULONGLONG ullTook = ::GetTickCount64() - ullStart;
    std::printf("%s console program: stop request to SERVICE_STOPPED in %llu ms\n", test.pszName,
                static_cast<unsigned long long>(ullTook));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED) << test.pszName;
    EXPECT_EQ(status.dwWin32ExitCode, 0u) << test.pszName;
    std::string strText = ReadFileText(strRecord);
    EXPECT_NE(strText.find("ended-by=ctrl-c"), std::string::npos) << test.pszName << strText;
    // It ran in the job from its first instruction on: nothing it starts can escape.
    EXPECT_EQ(RecordValue(strText, "in-job"), "1") << test.pszName << strText;
  }
}

// Nothing the program started may still run when the manager hears that the service stopped:
// the runner's own exit, which would end them a moment later, does not count.
TEST(RunnerStop, EverythingTheProgramStartedIsGoneWhenStoppedIsReported) {
  // Ignores every request: ended at the default StopTimeout, which services the tool
  // installs rely on.
  CServiceFixture stubborn("Deaf");
  std::string strRecord = stubborn.Folder() + "record.txt";
  std::string strGrandchild = stubborn.Folder() + "grandchild.txt";
  ASSERT_TRUE(stubborn.Install(
      Probe(), "--ignore-stop --record \"" + strRecord + "\" --child \"" + strGrandchild + "\"",
      ""));
  // Ends by itself while its child goes on running.
  CServiceFixture ending("Ends");
  std::string strEndingRecord = ending.Folder() + "record.txt";
  std::string strEndingChild = ending.Folder() + "grandchild.txt";
  ASSERT_TRUE(ending.Install(Probe(),
                             "--run-ms 3000 --exit 0 --record \"" + strEndingRecord +
                                 "\" --child \"" + strEndingChild + "\"",
                             ""));
  ASSERT_TRUE(stubborn.Start());
  ASSERT_TRUE(ending.Start());
  ASSERT_TRUE(WaitForFile(strRecord, 10000));
  ASSERT_TRUE(WaitForFile(strEndingRecord, 10000));
  ASSERT_TRUE(stubborn.HoldJob(PidOf(strRecord)));
  ASSERT_TRUE(ending.HoldJob(PidOf(strEndingRecord)));
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

TEST(RunnerStop, ABatchFileStopsWithoutWaitingForAnAnswer) {
  CServiceFixture service("Batch");
  std::string strRecord = service.Folder() + "record.txt";
  std::string strBatch = service.Folder() + "run probe.cmd";
  FILE* pFile = std::fopen(strBatch.c_str(), "wb");
  ASSERT_NE(pFile, nullptr);
  std::fprintf(pFile, "@echo off\r\n\"%s\" --record \"%s\" %%*\r\necho after\r\n", Probe().c_str(),
               strRecord.c_str());
  std::fclose(pFile);
  ASSERT_TRUE(service.Install(strBatch, "--print batch", ""));
  service.SetDwordParameter(value::kStopTimeout, kLongStopTimeoutMs);
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForFile(strRecord, 10000));
  ASSERT_TRUE(service.HoldJob(PidOf(strRecord)));
  EXPECT_NE(RecordValue(ReadFileText(strRecord), "arg"), "") << ReadFileText(strRecord);

  ASSERT_TRUE(service.Stop());
  DWORD dwLeft = 0;
  SERVICE_STATUS_PROCESS status = service.WaitForStopped(kHeardWithinMs, &dwLeft);
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(dwLeft, 0u);
  EXPECT_NE(ReadFileText(strRecord).find("ended-by=ctrl-c"), std::string::npos);
}

// Makes strLink a symbolic link to strTarget: a Windows link where the system makes them,
// the host's link where it does not (Wine, whose files are the host's).
bool MakeFileLink(const std::string& strLink, const std::string& strTarget) {
  using UnixNameFn = char*(CDECL*)(LPCWSTR);
  auto pUnixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!pUnixName) {
    return ::CreateSymbolicLinkA(strLink.c_str(), strTarget.c_str(),
                                 SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != 0;
  }
  auto unix = [pUnixName](const std::string& strPath) {
    std::wstring wstrPath(strPath.begin(), strPath.end());
    char* pszUnix = pUnixName(wstrPath.c_str());
    std::string strUnix = pszUnix ? pszUnix : "";
    if (pszUnix) ::HeapFree(::GetProcessHeap(), 0, pszUnix);
    return strUnix;
  };
  // The host's ln is started without a process to wait for: the link is known to be made
  // once the target can be reached through it, so a target that should not exist is made
  // for that moment.
  bool bMadeTarget = ::GetFileAttributesA(strTarget.c_str()) == INVALID_FILE_ATTRIBUTES;
  if (bMadeTarget)
    unique_hfile(::CreateFileA(strTarget.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string strUnixTarget = unix(strTarget);
  std::string strLine = "Z:\\bin\\ln -s \"" + strUnixTarget + "\" \"" + unix(strLink) + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  bool bStarted = ::CreateProcessA(nullptr, strLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process) != 0;
  unique_handle hProcess(process.hProcess);
  unique_handle hThread(process.hThread);
  bool bMade = bStarted && WaitForFile(strLink, 5000);
  if (bMadeTarget) ::DeleteFileA(strTarget.c_str());
  return bMade;
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
    std::string strRecord = service.Folder() + "record.txt";
    std::string strTarget = service.Folder() + "precious.txt";
    std::string strLink = service.Folder() + "service.log";
    ASSERT_TRUE(service.Install(Probe(), "--print leak --record \"" + strRecord + "\"", ""));
    if (test.bTargetExists) {
      FILE* pFile = std::fopen(strTarget.c_str(), "wb");
      ASSERT_NE(pFile, nullptr);
      std::fputs("precious\n", pFile);
      std::fclose(pFile);
    }
    if (test.pszValue) {
      ASSERT_TRUE(MakeFileLink(strLink, strTarget)) << test.pszName;
      service.SetStringParameter(test.pszValue, strLink);
    } else {
      // Ten minutes is the most; one more is refused.
      service.SetDwordParameter(value::kStopTimeout, contract::kMaxStopTimeoutMs + 1);
    }
    ASSERT_TRUE(service.Start());
    SERVICE_STATUS_PROCESS status = service.WaitForState(SERVICE_STOPPED, 10000);
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED) << test.pszName;
    EXPECT_EQ(status.dwWin32ExitCode, 1610u) << test.pszName;  // ERROR_BAD_CONFIGURATION
    EXPECT_EQ(::GetFileAttributesA(strRecord.c_str()), INVALID_FILE_ATTRIBUTES) << test.pszName;
    if (test.bTargetExists) {
      EXPECT_EQ(ReadFileText(strTarget), "precious\n") << test.pszName;
    } else {
      EXPECT_EQ(::GetFileAttributesA(strTarget.c_str()), INVALID_FILE_ATTRIBUTES) << test.pszName;
    }
    ::DeleteFileA(strLink.c_str());
  }
  // The ceiling itself is accepted.
  CServiceFixture service("MaxStop");
  std::string strRecord = service.Folder() + "record.txt";
  ASSERT_TRUE(service.Install(Probe(), "--record \"" + strRecord + "\"", ""));
  service.SetDwordParameter(value::kStopTimeout, contract::kMaxStopTimeoutMs);
  ASSERT_TRUE(service.Start());
  EXPECT_TRUE(WaitForFile(strRecord, 10000));
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
  CFileRemover besideRunner{BinFolder() + strName};
  CServiceFixture service("Bare");
  ASSERT_TRUE(::CopyFileA(Probe().c_str(), onPath.m_strPath.c_str(), FALSE));
  ASSERT_TRUE(::CopyFileA(Probe().c_str(), besideRunner.m_strPath.c_str(), FALSE));
  std::string strRecord = service.Folder() + "record.txt";
  ASSERT_TRUE(service.Install(strName, "--record \"" + strRecord + "\"", ""));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForFile(strRecord, 10000));
  std::string strText = ReadFileText(strRecord);
  EXPECT_EQ(_stricmp(RecordValue(strText, "exe").c_str(), onPath.m_strPath.c_str()), 0) << strText;
  // Started by its full path, as its own command line shows.
  std::string strCommandLine = RecordValue(strText, "cmdline");
  EXPECT_EQ(_strnicmp(strCommandLine.c_str(), onPath.m_strPath.c_str(), onPath.m_strPath.size()), 0)
      << strText;
  ASSERT_TRUE(service.Stop());
  EXPECT_EQ(service.WaitForState(SERVICE_STOPPED, kHeardWithinMs).dwCurrentState, SERVICE_STOPPED);
}

}  // namespace
}  // namespace qm::runner::test
