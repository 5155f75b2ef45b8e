// Readiness and health checks under the real Service Control Manager, with probe.exe as a
// program that listens late, hangs, answers HTTP with a chosen status, creates a file or a
// pipe, prints a line, or speaks on the notify pipe. The probe notes each step in its marks
// file just before it takes it, so a test can tell the order of what the runner and the
// program did without measuring time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/runner/service_fixture.h"

namespace qm::runner::test {
namespace {

// A port for one case, unlikely to be in use by anyone else on the host.
int Port(int nCase) {
  return 20000 + static_cast<int>(::GetCurrentProcessId() % 2000) * 8 + nCase;
}

bool HasMark(const std::string& strMarks, const char* pszMark) {
  return ReadFileText(strMarks).find(std::string(pszMark) + "=") != std::string::npos;
}

int CountOf(const std::string& strText, const std::string& strWord) {
  int n = 0;
  for (std::size_t nAt = strText.find(strWord); nAt != std::string::npos;
       nAt = strText.find(strWord, nAt + 1)) {
    ++n;
  }
  return n;
}

// Polls the service until it leaves SERVICE_START_PENDING, keeping what the manager showed.
struct StartSeen {
  std::vector<DWORD> checkPoints;  // while START_PENDING, each new one
  bool bTookStop = false;          // SERVICE_ACCEPT_STOP while START_PENDING
  bool bMarkedAtRunning = false;   // the program's mark was there when RUNNING was first seen
  SERVICE_STATUS_PROCESS last = {};
};

StartSeen WatchStart(CServiceFixture& service, const std::string& strMarks, const char* pszMark) {
  StartSeen seen;
  const ULONGLONG ullEnd = ::GetTickCount64() + kStateTimeoutMs;
  for (;;) {
    // The mark is read before the state: seen marked and then running, it was marked first.
    const bool bMarked = HasMark(strMarks, pszMark);
    seen.last = service.Query();
    if (seen.last.dwCurrentState != SERVICE_START_PENDING || ::GetTickCount64() > ullEnd) {
      seen.bMarkedAtRunning = bMarked;
      return seen;
    }
    if (seen.checkPoints.empty() || seen.checkPoints.back() != seen.last.dwCheckPoint) {
      seen.checkPoints.push_back(seen.last.dwCheckPoint);
    }
    if (seen.last.dwControlsAccepted & SERVICE_ACCEPT_STOP) seen.bTookStop = true;
    ::Sleep(10);
  }
}

// A service that is ready late, by each kind of ReadyCheck, is START_PENDING with rising check
// points until the program's step, and RUNNING only after it.
TEST(RunnerChecks, TheStartWaitsForEachKindOfReadiness) {
  struct Case {
    const char* pszName;
    std::string strOptions;  // the probe's, besides --marks and --after
    std::string strCheck;
    const char* pszMark;
  };
  CScratchFolder files("QmChecksFiles");
  const std::string strPipe = "qm-ready-" + std::to_string(::GetCurrentProcessId());
  const Case cases[] = {
      {"Tcp", "--listen " + std::to_string(Port(0)), "tcp:" + std::to_string(Port(0)), "listening"},
      {"Http", "--listen " + std::to_string(Port(1)) + " --http 204",
       "http://127.0.0.1:" + std::to_string(Port(1)) + "/ready", "listening"},
      {"File", "--touch " + Quoted(files.Path() + "app.pid"), "file:" + files.Path() + "app.pid",
       "touched"},
      {"Pipe", "--pipe " + strPipe, "pipe:" + strPipe, "piped"},
      // Without Stdout or Stderr: the output is read for the check, and dropped.
      {"Output", "--print-after 1500 --print \"Started on port 9\"", "output:on port 9", "printed"},
      {"Notify", "--notify --status \"warming up\"", "notify", "notified"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CServiceFixture service(std::string("Ready") + c.pszName);
    const std::string strMarks = service.Folder() + "marks.txt";
    ASSERT_TRUE(service.InstallProbe(c.strOptions + " --after 1500 --marks " + Quoted(strMarks)));
    service.SetStringParameter("ReadyCheck", c.strCheck);
    service.SetDwordParameter("ReadyInterval", 100);
    ASSERT_TRUE(service.Start());
    const StartSeen seen = WatchStart(service, strMarks, c.pszMark);
    EXPECT_EQ(seen.last.dwCurrentState, SERVICE_RUNNING) << ReadFileText(strMarks);
    EXPECT_TRUE(seen.bMarkedAtRunning) << ReadFileText(strMarks);
    EXPECT_TRUE(seen.bTookStop);
    ASSERT_GE(seen.checkPoints.size(), 3u);
    for (std::size_t i = 1; i < seen.checkPoints.size(); ++i) {
      EXPECT_GT(seen.checkPoints[i], seen.checkPoints[i - 1]);
    }
    EXPECT_EQ(service.StopAndWait().dwWin32ExitCode, 0u);
  }
}

// Only the program's processes are heard on the notify pipe: another process that writes READY=1
// to it (here the test, which read the pipe's name in the program's environment) does not make
// the service run.
TEST(RunnerChecks, TheNotifyPipeHearsOnlyTheProgram) {
  CServiceFixture service("NotifyOutsider");
  ASSERT_TRUE(service.InstallProbe("--env QUILLMONT_NOTIFY"));
  service.SetStringParameter("ReadyCheck", "notify");
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForRecord(service.Record(), 10000));
  const std::string strPipe = RecordValue(ReadFileText(service.Record()), "env.QUILLMONT_NOTIFY");
  ASSERT_EQ(strPipe.rfind("\\\\.\\pipe\\carrack-notify-", 0), 0u) << strPipe;
  unique_hfile hPipe(
      ::CreateFileA(strPipe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  if (hPipe) {
    DWORD dwWritten = 0;
    ::WriteFile(hPipe.get(), "READY=1\n", 8, &dwWritten, nullptr);
    hPipe.reset();
  }
  ::Sleep(1500);
  EXPECT_EQ(service.Query().dwCurrentState, SERVICE_START_PENDING);
  EXPECT_EQ(service.StopAndWait().dwWin32ExitCode, 0u);
}

// Never ready: the start fails with ERROR_TIMEOUT once ReadyTimeout has passed, after the usual
// stop sequence for the program and what it started. A stop while the service is starting is
// taken at once, as any stop.
// A probe that never answers (a server that takes the connection and says nothing, with a
// HealthTimeout of ten minutes) does not hold up the stop.
TEST(RunnerChecks, ANeverReadyStartFailsWithTimeoutAndAStopWhileStartingStops) {
  struct Case {
    const char* pszName;
    std::string strOptions;
    std::string strCheck;
    bool bStop;
    DWORD dwExit;
  };
  const Case cases[] = {
      {"Timeout", "", "tcp:" + std::to_string(Port(2)), false, ERROR_TIMEOUT},
      {"Stop", "", "tcp:" + std::to_string(Port(2)), true, 0},
      {"StopMidProbe", "--listen " + std::to_string(Port(7)) + " --silent",
       "http://127.0.0.1:" + std::to_string(Port(7)) + "/", true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CServiceFixture service(std::string("Never") + c.pszName);
    ASSERT_TRUE(service.InstallProbe(c.strOptions, true));
    service.SetStringParameter("ReadyCheck", c.strCheck);
    service.SetDwordParameter("ReadyTimeout", c.bStop ? 600000 : 3000);
    service.SetDwordParameter("HealthTimeout", 600000);
    service.SetDwordParameter("ReadyInterval", 100);
    ASSERT_TRUE(service.Start());
    ASSERT_TRUE(WaitForRecord(service.Record(), 10000));
    ASSERT_TRUE(WaitForRecord(service.Grandchild(), 10000));
    EXPECT_EQ(service.Query().dwCurrentState, SERVICE_START_PENDING);
    if (c.bStop) {
      ASSERT_TRUE(WaitUntil(
          [&] { return (service.Query().dwControlsAccepted & SERVICE_ACCEPT_STOP) != 0; }, 5000));
      ASSERT_TRUE(service.Stop());
    }
    const SERVICE_STATUS_PROCESS status = service.WaitForState(SERVICE_STOPPED, kStateTimeoutMs);
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(status.dwWin32ExitCode, c.dwExit);
    EXPECT_TRUE(ProcessEnded(PidOf(service.Record())));
    EXPECT_TRUE(ProcessEnded(PidOf(service.Grandchild())));
    // Asked to end, as at any stop.
    EXPECT_NE(ReadFileText(service.Record()).find("ended-by=ctrl-c"), std::string::npos)
        << ReadFileText(service.Record());
  }
}

// A restarted run is held to its ReadyCheck as the first one: not ready in time, it is a failed
// run, and the restart policy decides (here: its limit of one restart ends the service). A
// ready file left from before the run (a crashed program's pid file) does not count.
TEST(RunnerChecks, ARestartedRunThatIsNeverReadyIsAFailedRun) {
  CServiceFixture service("NotReadyAgain");
  const std::string strReady = service.Folder() + "ready.flag";
  const std::string strCount = service.Folder() + "count.txt";
  ASSERT_TRUE(WriteText(strReady, ""));
  {
    unique_hfile hOld(::CreateFileA(strReady.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ULARGE_INTEGER hourAgo;
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    hourAgo.LowPart = ft.dwLowDateTime;
    hourAgo.HighPart = ft.dwHighDateTime;
    hourAgo.QuadPart -= 3600ull * 10000000ull;
    ft = {hourAgo.LowPart, hourAgo.HighPart};
    ASSERT_TRUE(hOld && ::SetFileTime(hOld.get(), &ft, &ft, &ft));
  }
  ASSERT_TRUE(service.Install(
      ProbePath(), "--count " + Quoted(strCount) + " --run-ms 2000,600000 --exit 3", ""));
  service.SetStringParameter("ReadyCheck", "file:" + strReady);
  service.SetDwordParameter("ReadyTimeout", 1500);
  service.SetDwordParameter("ReadyInterval", 100);
  service.SetDwordParameter("RestartDelay", 100);
  service.SetDwordParameter("RestartLimit", 1);
  ASSERT_TRUE(service.Start());
  ::Sleep(500);  // five probes
  EXPECT_EQ(service.Query().dwCurrentState, SERVICE_START_PENDING);
  ASSERT_TRUE(WriteText(strReady, "1234"));
  EXPECT_EQ(service.WaitForState(SERVICE_RUNNING, kStateTimeoutMs).dwCurrentState, SERVICE_RUNNING);
  ASSERT_TRUE(::DeleteFileA(strReady.c_str()));
  const SERVICE_STATUS_PROCESS status = service.WaitForState(SERVICE_STOPPED, kStateTimeoutMs);
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_EQ(CountOf(ReadFileText(strCount), "start="), 2) << ReadFileText(strCount);
}

// A program that stops answering while its process lives on, or answers 503, or stops its
// watchdog, is unhealthy after HealthRetries failed probes in a row and started again; one
// that answers 2xx, or whose exec: check exits 0, stays. With RestartLimit the runner gives up.
TEST(RunnerChecks, AnUnhealthyProgramIsRestartedAndAHealthyOneStays) {
  // Health is checked from readiness on, so each has a ReadyCheck too.
  struct Case {
    const char* pszName;
    std::string strOptions;
    std::string strCheck;
    bool bUnhealthy;
    const char* pszHangMark;  // the mark of the moment the program stops answering, if any
    std::string strReady;
  };
  const std::string strHttp = "http://127.0.0.1:";
  const auto tcp = [](int nCase) { return "tcp:" + std::to_string(Port(nCase)); };
  const Case cases[] = {
      {"Hang", "--listen " + std::to_string(Port(3)) + " --hang-after 1000", tcp(3), true, "hung",
       tcp(3)},
      {"Http503", "--listen " + std::to_string(Port(4)) + " --http 503",
       strHttp + std::to_string(Port(4)) + "/health", true, nullptr, tcp(4)},
      // Followed, the redirect would lead to a page that answers 200.
      {"Redirect", "--listen " + std::to_string(Port(5)) + " --http 302",
       strHttp + std::to_string(Port(5)) + "/", true, nullptr, tcp(5)},
      {"Http200", "--listen " + std::to_string(Port(6)) + " --http 200",
       strHttp + std::to_string(Port(6)) + "/health", false, nullptr, tcp(6)},
      {"Watchdog", "--notify --watchdog 100 --watchdog-for 1000", "notify", true, "watchdog-ended",
       "notify"},
  };
  std::vector<std::unique_ptr<CServiceFixture>> services;
  for (const Case& c : cases) {
    services.push_back(std::make_unique<CServiceFixture>(std::string("Health") + c.pszName));
    CServiceFixture& service = *services.back();
    const std::string strCount = service.Folder() + "count.txt";
    const std::string strMarks = service.Folder() + "marks.txt";
    ASSERT_TRUE(service.Install(
        ProbePath(), c.strOptions + " --count " + Quoted(strCount) + " --marks " + Quoted(strMarks),
        ""));
    service.SetStringParameter("ReadyCheck", c.strReady);
    service.SetDwordParameter("ReadyInterval", 100);
    service.SetStringParameter("HealthCheck", c.strCheck);
    service.SetDwordParameter("HealthInterval", 200);
    service.SetDwordParameter("HealthTimeout", 500);
    service.SetDwordParameter("HealthRetries", 3);
    service.SetDwordParameter("RestartDelay", 100);
    service.SetDwordParameter("RestartLimit", 1);
    ASSERT_TRUE(service.Start());
  }
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.pszName);
    CServiceFixture& service = *services[i];
    const std::string strCount = service.Folder() + "count.txt";
    if (c.bUnhealthy) {
      // Restarted once, then unhealthy again: the limit of one restart ends the service.
      const SERVICE_STATUS_PROCESS status = service.WaitForState(SERVICE_STOPPED, 30000);
      EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
      EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_PROCESS_ABORTED));
      const std::string strStarts = ReadFileText(strCount);
      EXPECT_EQ(CountOf(strStarts, "start="), 2) << strStarts;
      // Healthy until it stopped answering: the restart came after that, not before.
      if (c.pszHangMark) {
        const std::string strMarks = ReadFileText(service.Folder() + "marks.txt");
        const ULONGLONG ullHung =
            std::strtoull(RecordValue(strMarks, c.pszHangMark).c_str(), nullptr, 10);
        const std::size_t nSecond = strStarts.find("start=", strStarts.find("start=") + 1);
        ASSERT_NE(nSecond, std::string::npos);
        EXPECT_GT(std::strtoull(strStarts.c_str() + nSecond + 6, nullptr, 10), ullHung)
            << strStarts << strMarks;
      }
    } else {
      // Many intervals later, still the first run.
      ::Sleep(1500);
      EXPECT_EQ(service.Query().dwCurrentState, SERVICE_RUNNING);
      EXPECT_EQ(CountOf(ReadFileText(strCount), "start="), 1) << ReadFileText(strCount);
    }
  }
}

// exec: runs in the service's job, folder and environment, and a non-zero exit is a failure;
// Restart=Never ends the service at the first unhealthy run.
TEST(RunnerChecks, AnExecCheckRunsAsTheProgramDoesAndItsExitCodeCounts) {
  CServiceFixture service("Exec");
  const std::string strExecRecord = service.Folder() + "exec.txt";
  const std::string strFail = service.Folder() + "fail-now";
  ASSERT_TRUE(service.InstallProbe("--env QM_CHECK", false, service.Folder()));
  service.SetStringParameter("HealthCheck",
                             "exec:" + Quoted(ProbePath()) + " --env QM_CHECK --record " +
                                 Quoted(strExecRecord) + " --exit-if-exists " + Quoted(strFail));
  service.SetStringParameter("Environment", std::string("QM_CHECK=from the service") + '\0',
                             REG_MULTI_SZ);
  service.SetDwordParameter("HealthInterval", 200);
  service.SetDwordParameter("HealthRetries", 2);
  service.SetStringParameter("Restart", "Never");
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForRecord(service.Record(), 10000));
  ASSERT_TRUE(WaitForRecord(strExecRecord, 10000));
  const std::string strText = ReadFileText(strExecRecord);
  EXPECT_EQ(RecordValue(strText, "in-job"), "1") << strText;
  EXPECT_EQ(RecordValue(strText, "cwd") + "\\", service.Folder()) << strText;
  EXPECT_EQ(RecordValue(strText, "env.QM_CHECK"), "from the service") << strText;
  ::Sleep(600);
  EXPECT_EQ(service.Query().dwCurrentState, SERVICE_RUNNING);

  ASSERT_TRUE(WriteText(strFail, ""));
  const SERVICE_STATUS_PROCESS status = service.WaitForState(SERVICE_STOPPED, kStateTimeoutMs);
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_PROCESS_ABORTED));
  EXPECT_TRUE(ProcessEnded(PidOf(service.Record())));
}

}  // namespace
}  // namespace qm::runner::test
