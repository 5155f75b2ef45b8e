// The runner as the Service Control Manager runs it, with probe.exe as the service's program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/runner/service_fixture.h"

namespace qm::runner::test {
namespace {

// A Runfile path with blanks, quoted arguments and no Directory (the program starts in its own
// folder), with its output appended to the Stdout and Stderr files, until it is asked to stop.
TEST(RunnerService, RunsTheProgramWithItsArgumentsAndOutputUntilStopped) {
  CServiceFixture service("Basic");
  std::string strFolder = service.Folder() + "my programs";
  ASSERT_TRUE(::CreateDirectoryA(strFolder.c_str(), nullptr));
  std::string strCopy = strFolder + "\\probe copy.exe";
  ASSERT_TRUE(::CopyFileA(ProbePath().c_str(), strCopy.c_str(), FALSE));
  std::string strRecord = service.Folder() + "the record.txt";
  std::string strOut = service.Folder() + "out.log";
  std::string strErr = service.Folder() + "err.log";
  ASSERT_TRUE(WriteText(strOut, "earlier run\n"));
  ASSERT_TRUE(service.Install(
      strCopy, "--print hello --record " + Quoted(strRecord) + " \"two words\" \"say \\\"hi\\\"\"",
      ""));
  service.SetStringParameter("Stdout", strOut);
  service.SetStringParameter("Stderr", strErr);  // does not exist yet
  ASSERT_TRUE(service.Start());
  SERVICE_STATUS_PROCESS running = service.WaitForState(SERVICE_RUNNING, kStateTimeoutMs);
  EXPECT_EQ(running.dwCurrentState, SERVICE_RUNNING);
  // Pre-shutdown too: at the system's shutdown the stop gets the service's pre-shutdown
  // timeout, not the few seconds of shutdown alone.
  EXPECT_EQ(running.dwControlsAccepted,
            static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PRESHUTDOWN |
                               SERVICE_ACCEPT_SHUTDOWN));
  ASSERT_TRUE(WaitForRecord(strRecord, 10000));
  std::string strText = ReadFileText(strRecord);
  // Both files as they are: the program writes them itself.
  EXPECT_EQ(RecordValue(strText, "stdout-type"), "1") << strText;
  EXPECT_EQ(RecordValue(strText, "cwd"), strFolder);
  EXPECT_NE(strText.find("arg=two words\n"), std::string::npos) << strText;
  EXPECT_NE(strText.find("arg=say \"hi\"\n"), std::string::npos) << strText;
  EXPECT_EQ(RecordValue(strText, "cmdline").rfind("\"" + strCopy + "\" ", 0), 0u) << strText;
  DWORD dwPid = PidOf(strRecord);
  ASSERT_NE(dwPid, 0u);
  EXPECT_FALSE(ProcessEnded(dwPid));
  // The runner writes what it receives at once, but a moment after the program wrote it.
  EXPECT_TRUE(WaitForText(strOut, "earlier run\nhello\r\n", 5000)) << ReadFileText(strOut);
  EXPECT_TRUE(WaitForText(strErr, "err:hello\r\n", 5000)) << ReadFileText(strErr);

  SERVICE_STATUS_PROCESS status = service.StopAndWait();
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(status.dwWin32ExitCode, 0u);
  EXPECT_TRUE(ProcessEnded(dwPid));
  // It was asked, not killed: the probe notes how it was told to end.
  EXPECT_NE(ReadFileText(strRecord).find("ended-by="), std::string::npos);
}

// The program and the child it started both ignore the stop request: the runner waits the
// StopTimeout, saying so, then ends them through the job.
TEST(RunnerService, AProgramThatIgnoresTheStopIsEndedWithItsChildrenAfterTheTimeout) {
  CServiceFixture service("Stubborn");
  ASSERT_TRUE(service.InstallProbe("--ignore-stop", true));
  service.SetDwordParameter("StopTimeout", 2000);
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForRecord(service.Record(), 10000));
  DWORD dwChild = PidOf(service.Record());
  DWORD dwGrandchild = PidOf(service.Grandchild());
  ASSERT_NE(dwGrandchild, 0u);
  EXPECT_FALSE(ProcessEnded(dwGrandchild));

  ULONGLONG ullStart = ::GetTickCount64();
  ASSERT_TRUE(service.Stop());
  // While it waits, the runner says so with a wait hint, and refuses a second stop request
  // rather than leaving the manager to end it outright.
  ::Sleep(300);
  SERVICE_STATUS_PROCESS pending = service.Query();
  EXPECT_EQ(pending.dwCurrentState, SERVICE_STOP_PENDING);
  EXPECT_GT(pending.dwWaitHint, 0u);
  SERVICE_STATUS again;
  EXPECT_FALSE(::ControlService(service.Handle(), SERVICE_CONTROL_STOP, &again));
  SERVICE_STATUS_PROCESS status = service.WaitForState(SERVICE_STOPPED, kStateTimeoutMs);
  ULONGLONG ullTook = ::GetTickCount64() - ullStart;
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(status.dwWin32ExitCode, 0u);  // asked to stop, and stopped
  EXPECT_TRUE(ProcessEnded(dwChild));
  EXPECT_TRUE(ProcessEnded(dwGrandchild));
  // It was given its time, and not much more.
  EXPECT_GE(ullTook, 1900u);
  EXPECT_LT(ullTook, 10000u);
  EXPECT_EQ(ReadFileText(service.Record()).find("ended-by="), std::string::npos);
}

// Whatever stops the start, the service ends up stopped with the error and the program never
// runs.
TEST(RunnerService, AStartThatCannotSucceedStopsTheServiceWithAnError) {
  struct Case {
    const char* pszName;
    const char* pszValue;
    std::string strData;  // "\\..." names a file in the service's folder
    DWORD dwType;         // REG_NONE: the value is removed
    DWORD dwError;
  } const cases[] = {
      {"NoFile", "Runfile", "\\absent.exe", REG_SZ, ERROR_FILE_NOT_FOUND},
      {"NoValue", "Runfile", "", REG_NONE, ERROR_FILE_NOT_FOUND},
      {"Empty", "Runfile", "", REG_SZ, 1610},  // ERROR_BAD_CONFIGURATION
      {"NoDir", "Directory", "\\absent", REG_SZ, ERROR_DIRECTORY},
      // The output file's folder is missing: nothing may start with its output lost.
      {"NoOut", "Stdout", "\\absent\\out.log", REG_SZ, ERROR_PATH_NOT_FOUND},
      {"Type", "StopTimeout", "5000", REG_SZ, ERROR_DATATYPE_MISMATCH},
      {"DelayType", "RestartDelay", "200", REG_SZ, ERROR_DATATYPE_MISMATCH},
      {"EnvType", "Environment", "A=1", REG_SZ, ERROR_DATATYPE_MISMATCH},
      {"EnvEntry", "Environment", std::string("A=1") + '\0' + "NOEQUALS" + '\0', REG_MULTI_SZ,
       1610},
      {"Restart", "Restart", "Sometimes", REG_SZ, 1610},
      {"Priority", "Priority", "Realtime", REG_SZ, 1610},
  };
  for (const Case& c : cases) {
    CServiceFixture service(std::string("Bad") + c.pszName);
    ASSERT_TRUE(service.InstallProbe(""));
    std::string strData = c.strData;
    if (strData.rfind('\\', 0) == 0) strData = service.Folder() + strData.substr(1);
    if (c.dwType == REG_NONE) {
      service.DeleteParameter(c.pszValue);
    } else {
      service.SetStringParameter(c.pszValue, strData, c.dwType);
    }
    service.ExpectStartFails(c.dwError);
  }

  // Each failure went to the event log, whose source now names the runner's message table.
  char szFile[MAX_PATH] = "";
  DWORD dwSize = sizeof(szFile);
  ASSERT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE,
                           "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\carrack",
                           "EventMessageFile", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, szFile,
                           &dwSize),
            ERROR_SUCCESS);
  EXPECT_EQ(_stricmp(szFile, (TestBinFolder() + "carrack.exe").c_str()), 0) << szFile;
}

// In the Directory the tool wrote, a windowed program is asked to close its window.
TEST(RunnerService, AWindowedProgramRunsInItsDirectoryAndIsAskedToCloseItsWindow) {
  CServiceFixture service("Window");
  std::string strRecord = service.Record();
  ASSERT_TRUE(service.Install(TestBinFolder() + "probe_window.exe",
                              "--window --record " + Quoted(strRecord), service.Folder()));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForRecord(strRecord, 10000));
  // Without the trailing backslash, as GetCurrentDirectory reports it.
  EXPECT_EQ(RecordValue(ReadFileText(strRecord), "cwd") + "\\", service.Folder());
  DWORD dwPid = PidOf(strRecord);
  ::Sleep(500);  // the window is made after the record is written
  EXPECT_EQ(service.StopAndWait().dwCurrentState, SERVICE_STOPPED);
  EXPECT_TRUE(ProcessEnded(dwPid));
  EXPECT_NE(ReadFileText(strRecord).find("ended-by=close"), std::string::npos);
}

// Whether the runner is ended outright (by the manager or anyone) or its running service is
// removed, nothing the program started is left behind.
TEST(RunnerService, NoProcessOutlivesAKilledRunnerOrARemovedService) {
  for (bool bKill : {true, false}) {
    const char* pszHow = bKill ? "Killed" : "Remove";
    CServiceFixture service(pszHow);
    ASSERT_TRUE(service.InstallProbe("", true));
    ASSERT_TRUE(service.Start());
    ASSERT_TRUE(WaitForRecord(service.Record(), 10000)) << pszHow;
    ASSERT_TRUE(WaitForRecord(service.Grandchild(), 10000)) << pszHow;
    DWORD dwChild = PidOf(service.Record());
    DWORD dwGrandchild = PidOf(service.Grandchild());
    unique_handle hRunner(
        ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, service.Query().dwProcessId));
    ASSERT_TRUE(hRunner) << pszHow;
    if (bKill) {
      ASSERT_TRUE(::TerminateProcess(hRunner.get(), 9));
    } else {
      EXPECT_NE(service.Commands().StopAndDeleteService(service.Name().c_str()), 0);
      service.Forget();
    }
    // The removal has ended them by the time it returns; the job a killed runner held ends
    // them a moment after it.
    EXPECT_TRUE(WaitUntil([&] { return ProcessEnded(dwChild) && ProcessEnded(dwGrandchild); },
                          bKill ? 5000 : 0))
        << pszHow;
    EXPECT_EQ(::WaitForSingleObject(hRunner.get(), 10000), WAIT_OBJECT_0) << pszHow;
  }
}

// The probe moves its record into place; MoveFileEx still holds it with delete access for a
// moment after the rename, as this handle does. A read then must not come back empty.
TEST(WineTestSupport, ReadsARecordThatItsMoverStillHolds) {
  CScratchFolder folder("QmReader");
  std::string strRecord = folder.Path() + "record.txt";
  ASSERT_TRUE(WriteText(strRecord, "pid=7\ncomplete=1\n"));
  unique_hfile hMover(::CreateFileA(strRecord.c_str(), DELETE | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(hMover);
  EXPECT_TRUE(WaitForRecord(strRecord, 0));
  EXPECT_EQ(PidOf(strRecord), 7u);
}

TEST(RunnerOutsideTheServiceManager, SaysWhatItIsAndFails) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE hRead = nullptr;
  HANDLE hWrite = nullptr;
  ASSERT_TRUE(::CreatePipe(&hRead, &hWrite, &inherit, 0));
  unique_handle hReadOwner(hRead);
  unique_handle hWriteOwner(hWrite);
  ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = hWrite;
  startup.hStdError = hWrite;
  std::string strLine = "\"";
  strLine += TestBinFolder();
  strLine += "carrack.exe\"";
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(::CreateProcessA(nullptr, strLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &startup, &process));
  unique_handle hProcess(process.hProcess);
  unique_handle hThread(process.hThread);
  hWriteOwner.reset();
  ASSERT_EQ(::WaitForSingleObject(hProcess.get(), 60000), WAIT_OBJECT_0);
  DWORD dwCode = 0;
  ::GetExitCodeProcess(hProcess.get(), &dwCode);
  EXPECT_NE(dwCode, 0u);
  std::string strOutput;
  char buffer[512];
  DWORD dwRead = 0;
  while (::ReadFile(hRead, buffer, sizeof(buffer), &dwRead, nullptr) && dwRead > 0) {
    strOutput.append(buffer, dwRead);
  }
  EXPECT_NE(strOutput.find("Quillmont"), std::string::npos) << strOutput;
  EXPECT_EQ(std::count(strOutput.begin(), strOutput.end(), '\n'), 1) << strOutput;
}

}  // namespace
}  // namespace qm::runner::test
