// The runner as the Service Control Manager runs it, with probe.exe as the service's program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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
  std::string strPid = RecordValue(ReadFileText(strRecordPath), "pid");
  return static_cast<DWORD>(std::strtoul(strPid.c_str(), nullptr, 10));
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
  // It was asked, not killed: the probe notes how it was told to end.
  EXPECT_NE(ReadFileText(strRecord).find("ended-by="), std::string::npos);
}

TEST(RunnerService, StoppingEndsEveryProcessTheProgramStarted) {
  CServiceFixture service("Tree");
  std::string strRecord = service.Folder() + "record.txt";
  std::string strGrandchild = service.Folder() + "grandchild.txt";
  // The grandchild ignores the stop request, so only the job can end it.
  ASSERT_TRUE(service.Install(
      Probe(), "--record \"" + strRecord + "\" --child \"" + strGrandchild + "\" --ignore-stop",
      ""));
  service.SetDwordParameter("StopTimeout", 1000);
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForFile(strRecord, 10000));
  ASSERT_TRUE(WaitForFile(strGrandchild, 10000));
  DWORD dwChild = PidOf(strRecord);
  DWORD dwGrandchild = PidOf(strGrandchild);
  ASSERT_NE(dwGrandchild, 0u);
  EXPECT_FALSE(ProcessEnded(dwGrandchild));

  ASSERT_TRUE(service.Stop());
  EXPECT_EQ(service.WaitForState(SERVICE_STOPPED, kStateTimeoutMs).dwCurrentState, SERVICE_STOPPED);
  EXPECT_TRUE(ProcessEnded(dwChild));
  EXPECT_TRUE(ProcessEnded(dwGrandchild));
}

TEST(RunnerService, AProgramThatIgnoresTheStopIsEndedAfterTheTimeout) {
  CServiceFixture service("Stubborn");
  std::string strRecord = service.Folder() + "record.txt";
  ASSERT_TRUE(service.Install(Probe(), "--record \"" + strRecord + "\" --ignore-stop", ""));
  service.SetDwordParameter("StopTimeout", 2000);
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForFile(strRecord, 10000));
  DWORD dwPid = PidOf(strRecord);

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
  EXPECT_TRUE(ProcessEnded(dwPid));
  // It was given its time, and not much more.
  EXPECT_GE(ullTook, 1900u);
  EXPECT_LT(ullTook, 10000u);
  EXPECT_EQ(ReadFileText(strRecord).find("ended-by="), std::string::npos);
}

TEST(RunnerService, AProgramThatEndsByItselfStopsTheServiceWithItsExitCode) {
  CServiceFixture failing("Exit3");
  std::string strGrandchild = failing.Folder() + "grandchild.txt";
  ASSERT_TRUE(failing.Install(Probe(), "--child \"" + strGrandchild + "\" --exit 3", ""));
  // Without restarts, as Restart=Never keeps it.
  failing.SetStringParameter("Restart", "Never");
  ASSERT_TRUE(failing.Start());
  SERVICE_STATUS_PROCESS status = failing.WaitForState(SERVICE_STOPPED, kStateTimeoutMs);
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
  EXPECT_EQ(status.dwServiceSpecificExitCode, 3u);
  // What the program left running does not outlive the service.
  ASSERT_TRUE(WaitForFile(strGrandchild, 1000));
  EXPECT_TRUE(ProcessEnded(PidOf(strGrandchild)));

  CServiceFixture clean("Exit0");
  ASSERT_TRUE(clean.Install(Probe(), "--exit 0", ""));
  ASSERT_TRUE(clean.Start());
  status = clean.WaitForState(SERVICE_STOPPED, kStateTimeoutMs);
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(status.dwWin32ExitCode, 0u);
}

// The service must end up stopped with an error, never hang in START_PENDING or look clean.
void ExpectStartFails(CServiceFixture& service, DWORD dwExpectedError) {
  ASSERT_TRUE(service.Start());
  SERVICE_STATUS_PROCESS status = service.WaitForState(SERVICE_STOPPED, kStateTimeoutMs);
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED) << service.Name();
  EXPECT_EQ(status.dwWin32ExitCode, dwExpectedError) << service.Name();
}

TEST(RunnerService, AStartThatCannotSucceedStopsTheServiceWithAnError) {
  CServiceFixture missingFile("NoFile");
  ASSERT_TRUE(missingFile.Install(missingFile.Folder() + "absent.exe", "", ""));
  ExpectStartFails(missingFile, ERROR_FILE_NOT_FOUND);

  CServiceFixture missingValue("NoValue");
  ASSERT_TRUE(missingValue.Install(Probe(), "", ""));
  missingValue.DeleteParameter("Runfile");
  ExpectStartFails(missingValue, ERROR_FILE_NOT_FOUND);

  CServiceFixture emptyValue("Empty");
  ASSERT_TRUE(emptyValue.Install("", "", ""));
  ExpectStartFails(emptyValue, 1610u);  // ERROR_BAD_CONFIGURATION

  CServiceFixture wrongType("Type");
  ASSERT_TRUE(wrongType.Install(Probe(), "", ""));
  wrongType.SetStringParameter("StopTimeout", "5000");
  ExpectStartFails(wrongType, static_cast<DWORD>(ERROR_DATATYPE_MISMATCH));

  // The output file's folder is missing: nothing may start with its output lost.
  CServiceFixture badOutput("NoOut");
  ASSERT_TRUE(badOutput.Install(Probe(), "", ""));
  badOutput.SetStringParameter("Stdout", badOutput.Folder() + "absent\\out.log");
  ExpectStartFails(badOutput, ERROR_PATH_NOT_FOUND);

  CServiceFixture missingFolder("NoDir");
  ASSERT_TRUE(missingFolder.Install(Probe(), "", missingFolder.Folder() + "absent"));
  ExpectStartFails(missingFolder, ERROR_DIRECTORY);

  // Each failure went to the event log, whose source now names the runner's message table.
  char szFile[MAX_PATH] = "";
  DWORD dwSize = sizeof(szFile);
  ASSERT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE,
                           "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\carrack",
                           "EventMessageFile", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, szFile,
                           &dwSize),
            ERROR_SUCCESS);
  EXPECT_EQ(_stricmp(szFile, (BinFolder() + "carrack.exe").c_str()), 0) << szFile;
}

TEST(RunnerService, OutputGoesToTheStdoutAndStderrFilesAppended) {
  CServiceFixture service("Output");
  std::string strRecord = service.Folder() + "record.txt";
  std::string strOut = service.Folder() + "out.log";
  std::string strErr = service.Folder() + "err.log";
  FILE* pFile = std::fopen(strOut.c_str(), "wb");
  ASSERT_NE(pFile, nullptr);
  std::fputs("earlier run\n", pFile);
  std::fclose(pFile);
  ASSERT_TRUE(service.Install(Probe(), "--print hello --record \"" + strRecord + "\"", ""));
  service.SetStringParameter("Stdout", strOut);
  service.SetStringParameter("Stderr", strErr);  // does not exist yet
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForFile(strRecord, 10000));
  // The runner writes what it receives at once, but a moment after the program wrote it.
  EXPECT_TRUE(WaitForText(strOut, "earlier run\nhello\r\n", 5000)) << ReadFileText(strOut);
  EXPECT_TRUE(WaitForText(strErr, "err:hello\r\n", 5000)) << ReadFileText(strErr);
}

TEST(RunnerService, QuotedArgumentsAndARunfilePathWithBlanksArriveIntact) {
  CServiceFixture service("Blanks");
  std::string strFolder = service.Folder() + "my programs";
  ASSERT_TRUE(::CreateDirectoryA(strFolder.c_str(), nullptr));
  std::string strCopy = strFolder + "\\probe copy.exe";
  ASSERT_TRUE(::CopyFileA(Probe().c_str(), strCopy.c_str(), FALSE));
  std::string strRecord = service.Folder() + "the record.txt";
  // No Directory: the program starts in its own folder.
  ASSERT_TRUE(service.Install(
      strCopy, "--record \"" + strRecord + "\" \"two words\" \"say \\\"hi\\\"\"", ""));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForFile(strRecord, 10000));
  std::string strText = ReadFileText(strRecord);
  EXPECT_EQ(RecordValue(strText, "cwd"), strFolder);
  EXPECT_NE(strText.find("arg=two words\n"), std::string::npos) << strText;
  EXPECT_NE(strText.find("arg=say \"hi\"\n"), std::string::npos) << strText;
  EXPECT_EQ(RecordValue(strText, "cmdline").rfind("\"" + strCopy + "\" ", 0), 0u) << strText;
}

TEST(RunnerService, ValuesAreReadAsStoredAndExpandedWhenExpandable) {
  CServiceFixture service("Expand");
  std::string strRecord = service.Folder() + "record.txt";
  ASSERT_TRUE(service.Install(Probe(), "--record \"" + strRecord + "\"", ""));
  service.SetStringParameter("Directory", "%SystemRoot%", REG_EXPAND_SZ);
  // Stored without its closing NUL, as any program may write it: read as exactly its bytes.
  std::string strRunfile = Probe();
  ASSERT_EQ(::RegSetKeyValueA(
                HKEY_LOCAL_MACHINE,
                ("SYSTEM\\CurrentControlSet\\Services\\" + service.Name() + "\\Parameters").c_str(),
                "Runfile", REG_SZ, strRunfile.data(), static_cast<DWORD>(strRunfile.size())),
            ERROR_SUCCESS);
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForFile(strRecord, 10000));
  char szSystemRoot[MAX_PATH] = "";
  ::GetEnvironmentVariableA("SystemRoot", szSystemRoot, sizeof(szSystemRoot));
  EXPECT_EQ(_stricmp(RecordValue(ReadFileText(strRecord), "cwd").c_str(), szSystemRoot), 0)
      << ReadFileText(strRecord);
}

TEST(RunnerService, AWindowedProgramIsAskedToCloseItsWindow) {
  CServiceFixture service("Window");
  std::string strRecord = service.Folder() + "record.txt";
  ASSERT_TRUE(service.Install(BinFolder() + "probe_window.exe",
                              "--window --record \"" + strRecord + "\"", ""));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForFile(strRecord, 10000));
  DWORD dwPid = PidOf(strRecord);
  ::Sleep(500);  // the window is made after the record is written
  ASSERT_TRUE(service.Stop());
  EXPECT_EQ(service.WaitForState(SERVICE_STOPPED, kStateTimeoutMs).dwCurrentState, SERVICE_STOPPED);
  EXPECT_TRUE(ProcessEnded(dwPid));
  EXPECT_NE(ReadFileText(strRecord).find("ended-by=close"), std::string::npos);
}

TEST(RunnerService, TheProgramDiesWithTheRunner) {
  // What happens when the manager (or anyone) ends the runner's process outright.
  CServiceFixture service("Killed");
  std::string strRecord = service.Folder() + "record.txt";
  std::string strGrandchild = service.Folder() + "grandchild.txt";
  ASSERT_TRUE(service.Install(
      Probe(), "--record \"" + strRecord + "\" --child \"" + strGrandchild + "\"", ""));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForFile(strRecord, 10000));
  ASSERT_TRUE(WaitForFile(strGrandchild, 10000));
  DWORD dwRunner = service.Query().dwProcessId;
  ASSERT_NE(dwRunner, 0u);
  unique_handle hRunner(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, dwRunner));
  ASSERT_TRUE(hRunner);
  ASSERT_TRUE(::TerminateProcess(hRunner.get(), 9));
  ::WaitForSingleObject(hRunner.get(), 10000);
  DWORD dwChild = PidOf(strRecord);
  DWORD dwGrandchild = PidOf(strGrandchild);
  ULONGLONG ullEnd = ::GetTickCount64() + 5000;
  while (!(ProcessEnded(dwChild) && ProcessEnded(dwGrandchild)) && ::GetTickCount64() < ullEnd) {
    ::Sleep(50);
  }
  EXPECT_TRUE(ProcessEnded(dwChild));
  EXPECT_TRUE(ProcessEnded(dwGrandchild));
}

TEST(RunnerService, RemovingARunningServiceLeavesNoProcessBehind) {
  CServiceFixture service("Remove");
  std::string strRecord = service.Folder() + "record.txt";
  std::string strGrandchild = service.Folder() + "grandchild.txt";
  ASSERT_TRUE(service.Install(
      Probe(), "--record \"" + strRecord + "\" --child \"" + strGrandchild + "\"", ""));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForFile(strRecord, 10000));
  ASSERT_TRUE(WaitForFile(strGrandchild, 10000));
  DWORD dwRunner = service.Query().dwProcessId;

  EXPECT_NE(service.Commands().StopAndDeleteService(service.Name().c_str()), 0);
  service.Forget();
  EXPECT_TRUE(ProcessEnded(PidOf(strRecord)));
  EXPECT_TRUE(ProcessEnded(PidOf(strGrandchild)));
  unique_handle hRunner(::OpenProcess(SYNCHRONIZE, FALSE, dwRunner));
  if (hRunner) {
    EXPECT_EQ(::WaitForSingleObject(hRunner.get(), 10000), WAIT_OBJECT_0);
  }
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
  strLine += BinFolder();
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
