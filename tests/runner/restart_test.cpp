// Keeping the program alive, under the real Service Control Manager: restarts with back-off,
// the limit, stops while waiting, and the environment and priority each start gets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/runner/service_fixture.h"

namespace qm::runner::test {
namespace {

// The times of the "start=" and "end=" lines of a probe's count file, in order.
struct Runs {
  std::vector<ULONGLONG> starts;
  std::vector<ULONGLONG> ends;
};

Runs ReadRuns(const std::string& strPath) {
  Runs runs;
  std::istringstream text(ReadFileText(strPath));
  for (std::string strLine; std::getline(text, strLine);) {
    if (strLine.rfind("start=", 0) == 0)
      runs.starts.push_back(std::strtoull(&strLine[6], nullptr, 10));
    if (strLine.rfind("end=", 0) == 0) runs.ends.push_back(std::strtoull(&strLine[4], nullptr, 10));
  }
  return runs;
}

// The gaps from each run's end to the next start, as text for failure messages too.
std::vector<ULONGLONG> Gaps(const Runs& runs, const char* pszWhat, std::string& strText) {
  std::vector<ULONGLONG> gaps;
  strText = pszWhat;
  for (size_t i = 0; i + 1 < runs.starts.size() && i < runs.ends.size(); ++i) {
    gaps.push_back(runs.starts[i + 1] - runs.ends[i]);
    strText += ' ';
    strText += std::to_string(gaps.back());
  }
  return gaps;
}

// Starting a process under Wine on a busy machine takes up to a second or more. Gaps are
// measured up to the next process's creation, which leaves most of that out; the delays still
// stand well apart, every run meant to be short stays well within RestartDelayMax, and the
// assertions are about lower bounds and order. The two services run side by side.
TEST(RunnerRestart, BacksOffDoublingToTheCapGivesUpAtTheLimitAndStartsAfreshAfterALongRun) {
  CServiceFixture failing("Backoff");
  std::string strFailing = failing.Folder() + "count.txt";
  ASSERT_TRUE(failing.Install(ProbePath(), "--count " + Quoted(strFailing) + " --exit 3", ""));
  failing.SetDwordParameter("RestartDelay", 300);
  failing.SetDwordParameter("RestartDelayMax", 2400);
  failing.SetDwordParameter("RestartLimit", 5);

  // Starts 1-3 fail at once, start 4 makes a good run (the cap, and at least ten seconds),
  // then at once again.
  CServiceFixture recovering("Reset");
  std::string strRecovering = recovering.Folder() + "count.txt";
  ASSERT_TRUE(recovering.Install(
      ProbePath(), "--count " + Quoted(strRecovering) + " --run-ms 0,0,0,10500,0 --exit 3", ""));
  recovering.SetDwordParameter("RestartDelay", 300);
  recovering.SetDwordParameter("RestartDelayMax", 2400);

  ASSERT_TRUE(failing.Start());
  ASSERT_TRUE(recovering.Start());
  SERVICE_STATUS_PROCESS status = failing.WaitForState(SERVICE_STOPPED, 60000);
  ASSERT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  // Given up: the last exit code as a service-specific error, for the recovery actions.
  EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
  EXPECT_EQ(status.dwServiceSpecificExitCode, 3u);
  // Five restarts, 300, 600, 1200, 2400 and 2400 (capped), and the sixth end gives up.
  Runs runs = ReadRuns(strFailing);
  ASSERT_EQ(runs.starts.size(), 6u) << ReadFileText(strFailing);
  std::string strGaps;
  std::vector<ULONGLONG> gaps = Gaps(runs, "failing, gaps:", strGaps);
  SCOPED_TRACE(strGaps);
  const ULONGLONG kExpected[] = {300, 600, 1200, 2400, 2400};
  for (size_t i = 0; i < gaps.size(); ++i) {
    EXPECT_GE(gaps[i] + 40, kExpected[i]) << "gap " << i;  // the clock is coarse
  }
  EXPECT_LT(gaps[0], gaps[2]);
  EXPECT_LT(gaps[1], gaps[3]);
  EXPECT_LT(gaps[4], 4000u);  // not doubled past the cap

  WaitUntil([&] { return ReadRuns(strRecovering).starts.size() >= 5; }, 40000);
  runs = ReadRuns(strRecovering);
  ASSERT_GE(runs.starts.size(), 5u) << ReadFileText(strRecovering);
  gaps = Gaps(runs, "recovering, gaps:", strGaps);
  SCOPED_TRACE(strGaps);
  ASSERT_GE(gaps.size(), 4u);
  EXPECT_GE(gaps[2] + 40, 1200u);
  // After the long run the delay is back at 300 rather than doubled to 2400.
  EXPECT_LT(gaps[3], gaps[2]);
  EXPECT_EQ(recovering.Query().dwCurrentState, SERVICE_RUNNING);
}

// Each case: the mode, the probe's exit code, the back-off, how many starts and how the
// service ends. What the program left running is asked to end before the job ends it, after
// every run: before a restart, at the end of the service, and when the runner gives up.
TEST(RunnerRestart, TheModeDecidesWhatAnEndedProgramLeadsTo) {
  struct Case {
    const char* pszName;
    const char* pszRestart;  // nullptr: the default
    int nExit;
    DWORD dwDelay;
    DWORD dwDelayMax;  // 0: the default
    DWORD dwLimit;
    size_t nStarts;
    DWORD dwWin32;
    DWORD dwSpecific;
  } const cases[] = {
      {"Clean", nullptr, 0, 100, 0, 1, 1, 0, 0},  // OnFailure: exit code 0 is a clean stop
      {"Never", "Never", 3, 100, 0, 1, 1, ERROR_SERVICE_SPECIFIC_ERROR, 3},  // as before restarts
      {"Always", "always", 0, 100, 0, 1, 2, ERROR_PROCESS_ABORTED, 0},       // given up after one
      // Every run outlasts a cap of 1 ms, and none is a good run: the limit still applies.
      {"ShortCap", nullptr, 3, 1, 1, 3, 4, ERROR_SERVICE_SPECIFIC_ERROR, 3},
  };
  for (const Case& c : cases) {
    CServiceFixture service(std::string("Mode") + c.pszName);
    std::string strCount = service.Folder() + "count.txt";
    ASSERT_TRUE(service.InstallProbe(
        "--count " + Quoted(strCount) + " --exit " + std::to_string(c.nExit), true));
    if (c.pszRestart) service.SetStringParameter("Restart", c.pszRestart);
    service.SetDwordParameter("RestartDelay", c.dwDelay);
    if (c.dwDelayMax != 0) service.SetDwordParameter("RestartDelayMax", c.dwDelayMax);
    service.SetDwordParameter("RestartLimit", c.dwLimit);
    ASSERT_TRUE(service.Start());
    SERVICE_STATUS_PROCESS status = service.WaitForState(SERVICE_STOPPED, kStateTimeoutMs);
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED) << c.pszName;
    EXPECT_EQ(status.dwWin32ExitCode, c.dwWin32) << c.pszName;
    EXPECT_EQ(status.dwServiceSpecificExitCode, c.dwSpecific) << c.pszName;
    EXPECT_EQ(ReadRuns(strCount).starts.size(), c.nStarts) << c.pszName;
    std::string strGrandchild = ReadFileText(service.Grandchild());
    DWORD dwGrandchild = PidOf(service.Grandchild());
    EXPECT_NE(dwGrandchild, 0u) << c.pszName;
    EXPECT_TRUE(ProcessEnded(dwGrandchild)) << c.pszName;
    // The last run's child heard Ctrl+C on the console its parent had left.
    EXPECT_NE(strGrandchild.find("ended-by=ctrl-c"), std::string::npos)
        << c.pszName << ": " << strGrandchild;
  }
}

TEST(RunnerRestart, WhileWaitingNothingOfTheEndedRunIsLeftAndAStopEndsTheServiceAtOnce) {
  CServiceFixture service("Wait");
  std::string strCount = service.Folder() + "count.txt";
  // The grandchild would run on forever (it ignores stop requests): only the job ends it, once
  // the StopTimeout it was given is over.
  ASSERT_TRUE(
      service.InstallProbe("--count " + Quoted(strCount) + " --ignore-stop --exit 3", true));
  service.SetDwordParameter("RestartDelay", 30000);
  service.SetDwordParameter("RestartDelayMax", 60000);
  service.SetDwordParameter("StopTimeout", 1000);
  ASSERT_TRUE(service.Start());
  WaitUntil([&] { return !ReadRuns(strCount).ends.empty(); }, 10000);
  ASSERT_EQ(ReadRuns(strCount).ends.size(), 1u);
  DWORD dwGrandchild = PidOf(service.Grandchild());
  ASSERT_NE(dwGrandchild, 0u);
  EXPECT_TRUE(WaitUntil([&] { return ProcessEnded(dwGrandchild); }, 5000));
  EXPECT_EQ(service.Query().dwCurrentState, SERVICE_RUNNING);

  ULONGLONG ullStop = ::GetTickCount64();
  SERVICE_STATUS_PROCESS status = service.StopAndWait();
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(status.dwWin32ExitCode, 0u);
  EXPECT_LT(::GetTickCount64() - ullStop, 5000u);
  ::Sleep(300);
  EXPECT_EQ(ReadRuns(strCount).starts.size(), 1u);
}

// Environment and Priority reach each start; values are read as stored and expanded when
// expandable.
TEST(RunnerRestart, EnvironmentPriorityAndExpandedValuesReachTheProgram) {
  CServiceFixture service("Env");
  ASSERT_TRUE(
      service.InstallProbe("--env QM_SET --env QM_EXPANDED --env ComSpec --env SystemRoot"));
  std::string strEntries = std::string("QM_SET=hello") + '\0' +
                           "QM_EXPANDED=%qm_set% from %SystemRoot%" + '\0' + "COMSPEC=" + '\0';
  service.SetStringParameter("Environment", strEntries, REG_MULTI_SZ);
  service.SetStringParameter("Priority", "belownormal");
  service.SetStringParameter("Directory", "%SystemRoot%", REG_EXPAND_SZ);
  // Stored without its closing NUL, as any program may write it: read as exactly its bytes.
  service.SetStringParameter("Runfile", ProbePath(), REG_SZ, false);
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForRecord(service.Record(), 10000));
  std::string strText = ReadFileText(service.Record());
  char szSystemRoot[MAX_PATH] = "";
  ::GetEnvironmentVariableA("SystemRoot", szSystemRoot, sizeof(szSystemRoot));
  EXPECT_EQ(RecordValue(strText, "env.QM_SET"), "hello") << strText;
  EXPECT_EQ(RecordValue(strText, "env.QM_EXPANDED"), std::string("hello from ") + szSystemRoot)
      << strText;
  EXPECT_EQ(RecordValue(strText, "env.ComSpec"), "<unset>") << strText;
  // Built on top of the runner's own environment.
  EXPECT_EQ(_stricmp(RecordValue(strText, "env.SystemRoot").c_str(), szSystemRoot), 0) << strText;
  EXPECT_EQ(RecordValue(strText, "priority"), "0x4000") << strText;  // BELOW_NORMAL
  EXPECT_EQ(_stricmp(RecordValue(strText, "cwd").c_str(), szSystemRoot), 0) << strText;
}

}  // namespace
}  // namespace qm::runner::test
