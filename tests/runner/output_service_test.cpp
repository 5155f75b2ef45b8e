// The runner's Stdout and Stderr files under the real Service Control Manager: rotation,
// retention, one file for both streams, readers, failures, control 128 and timestamps, with
// probe.exe writing numbered lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "contract/runner_contract.h"
#include "runner/core/rotated_files.h"
#include "tests/runner/service_fixture.h"

namespace qm::runner::test {
namespace {

namespace value = contract::value;

// A rotation by a size no test reaches: the lines pass through the runner, which writes them
// as they came (without any rotation setting the program would write the files itself).
constexpr DWORD kNeverReached = 1u << 30;

// The rotated files of a live file, oldest first, then the live file itself.
std::vector<std::string> OutputFiles(const std::string& strLive) {
  std::vector<std::pair<RotatedKey, std::string>> rotated;
  std::string strFolder = strLive.substr(0, strLive.find_last_of('\\') + 1);
  WIN32_FIND_DATAA data;
  unique_hfind hFind(::FindFirstFileA(RotatedSearchPattern(strLive).c_str(), &data));
  if (hFind) {
    do {
      RotatedKey key;
      if (ParseRotatedName(strLive, data.cFileName, key)) {
        rotated.emplace_back(key, strFolder + data.cFileName);
      }
    } while (::FindNextFileA(hFind.get(), &data));
  }
  std::sort(rotated.begin(), rotated.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> files;
  for (const auto& entry : rotated) files.push_back(entry.second);
  files.push_back(strLive);
  return files;
}

// What the files say about the probe's lines: per stream ("out", "err") the last number, and
// the first problem found (a torn or split line, a gap, a missing timestamp).
struct LineReport {
  long anLast[2] = {0, 0};
  std::string strProblem;
};

bool IsTimestamp(const std::string& strText) {
  const char* pszShape = "dddd-dd-dd dd:dd:dd.ddd ";
  if (strText.size() != 24) return false;
  for (std::size_t i = 0; i < 24; ++i) {
    bool bDigit = strText[i] >= '0' && strText[i] <= '9';
    if (pszShape[i] == 'd' ? !bDigit : strText[i] != pszShape[i]) return false;
  }
  return true;
}

// Every file ends at a line end; every line is whole (nSize bytes after its timestamp) and
// each stream's numbers run on without a gap from nFirst, starting again at 1 after nCycle when
// that is given (a program run again). A first line strPreface (written before the service ran)
// is let through. The last numbers are counted on across cycles.
LineReport CheckLines(const std::vector<std::string>& files, std::size_t nSize, bool bStamped,
                      long nFirst = 1, const std::string& strPreface = "", long nCycle = 0) {
  LineReport report;
  report.anLast[0] = report.anLast[1] = nFirst - 1;
  bool bPreface = !strPreface.empty();
  for (const std::string& strFile : files) {
    std::string strText = ReadFileText(strFile);
    if (!strText.empty() && strText.back() != '\n') {
      report.strProblem = strFile + " ends inside a line";
      return report;
    }
    for (std::size_t pos = 0; pos < strText.size();) {
      std::size_t end = strText.find('\n', pos) + 1;
      std::string strLine = strText.substr(pos, end - pos);
      pos = end;
      if (bPreface && strLine == strPreface) {
        bPreface = false;
        continue;
      }
      if (bStamped && !IsTimestamp(strLine.substr(0, 24))) {
        report.strProblem = "in " + strFile + " without a timestamp: " + strLine;
        return report;
      }
      if (bStamped) strLine.erase(0, 24);
      int nStream = strLine.rfind("out ", 0) == 0 ? 0 : strLine.rfind("err ", 0) == 0 ? 1 : -1;
      if (nStream < 0 || strLine.size() != nSize ||
          std::atol(strLine.c_str() + 4) !=
              (nCycle ? report.anLast[nStream] % nCycle : report.anLast[nStream]) + 1) {
        report.strProblem = "in " + strFile + ": " + strLine;
        return report;
      }
      ++report.anLast[nStream];
    }
  }
  return report;
}

std::uint64_t FileSize(const std::string& strPath) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

TEST(RunnerOutput, RotatesBySizeAtLineEndsAndKeepsTheNewestFiles) {
  CServiceFixture service("Rotate");
  std::string strOut = service.Folder() + "out.log";
  std::string strErr = service.Folder() + "err.log";
  // 200 KB to each stream as fast as the probe can, then its own end. 200 lines fill a file
  // exactly: nine rotations each, of which the newest three are kept.
  ASSERT_TRUE(service.Install(ProbePath(), "--lines 2000 --size 100 --exit 0", ""));
  service.SetStringParameter(value::kStdout, strOut);
  service.SetStringParameter(value::kStderr, strErr);
  service.SetDwordParameter(value::kRotateBytes, 20000);
  service.SetDwordParameter(value::kRotateKeep, 3);
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(service.WaitForState(SERVICE_STOPPED, 60000).dwCurrentState, SERVICE_STOPPED);

  for (int nStream = 0; nStream < 2; ++nStream) {
    std::string strLive = nStream == 0 ? strOut : strErr;
    std::vector<std::string> files = OutputFiles(strLive);
    ASSERT_EQ(files.size(), 4u) << strLive;
    for (const std::string& strFile : files) EXPECT_EQ(FileSize(strFile), 20000u) << strFile;
    LineReport report = CheckLines(files, 100, false, 1201);
    EXPECT_EQ(report.strProblem, "");
    EXPECT_EQ(report.anLast[nStream], 2000) << strLive;  // the program's end lost nothing
  }
}

// The program writes more than rotating into a file a line can keep up with (a slow disk or
// share does the same) and ends. At the moment SERVICE_STOPPED is first seen, every line is in
// the files: the last one in the live file, the ones before in the rotated files kept.
TEST(RunnerOutput, EveryLineIsInTheFilesWhenStoppedIsFirstSeen) {
  CServiceFixture service("Drain");
  std::string astrLive[2] = {service.Folder() + "out.log", service.Folder() + "err.log"};
  ASSERT_TRUE(service.Install(ProbePath(), "--lines 600 --size 100 --exit 0", ""));
  service.SetStringParameter(value::kStdout, astrLive[0]);
  service.SetStringParameter(value::kStderr, astrLive[1]);
  service.SetDwordParameter(value::kRotateBytes, 100);
  service.SetDwordParameter(value::kRotateKeep, 2);
  // The time its end gives the output: far more than the writing takes even on a busy machine.
  service.SetDwordParameter(value::kStopTimeout, 150000);
  ASSERT_TRUE(service.Start());
  // Polled tightly; the runner is held on to, so that the folder goes only once it has ended
  // (a runner that reported too early would still be writing into it).
  unique_handle hRunner;
  SERVICE_STATUS_PROCESS status = service.Query();
  for (ULONGLONG ullEnd = ::GetTickCount64() + 170000;
       status.dwCurrentState != SERVICE_STOPPED && ::GetTickCount64() < ullEnd;
       status = service.Query()) {
    if (!hRunner && status.dwProcessId != 0) {
      hRunner.reset(::OpenProcess(SYNCHRONIZE, FALSE, status.dwProcessId));
    }
    ::Sleep(1);
  }
  std::string astrAtStop[2] = {ReadFileText(astrLive[0]), ReadFileText(astrLive[1])};
  ASSERT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(status.dwWin32ExitCode, 0u);
  for (int nStream = 0; nStream < 2; ++nStream) {
    EXPECT_EQ(astrAtStop[nStream].substr(0, 11),
              (nStream == 0 ? "out" : "err") + std::string(" 000600 "))
        << astrLive[nStream];
    LineReport report = CheckLines(OutputFiles(astrLive[nStream]), 100, false, 598);
    EXPECT_EQ(report.strProblem, "");
    EXPECT_EQ(report.anLast[nStream], 600) << astrLive[nStream];
  }
  if (hRunner) {
    EXPECT_EQ(::WaitForSingleObject(hRunner.get(), 60000), WAIT_OBJECT_0);
  }
}

// A process outside the service's job holds a copy of the program's output handle, so the
// pipe never ends: the stop still ends at its deadline, and is reported as a failure.
TEST(RunnerOutput, OutputHeldOutsideTheJobEndsTheStopAtItsDeadlineAsAFailure) {
  CServiceFixture service("Held");
  std::string strOut = service.Folder() + "out.log";
  ASSERT_TRUE(service.InstallProbe("--print held"));
  service.SetStringParameter(value::kStdout, strOut);
  service.SetDwordParameter(value::kRotateBytes, kNeverReached);
  service.SetDwordParameter(value::kStopTimeout, 1000);
  ASSERT_TRUE(service.Start());
  std::string strHandle;
  ASSERT_TRUE(WaitUntil(
      [&] { return !(strHandle = RecordValue(ReadFileText(service.Record()), "stdout")).empty(); },
      10000));
  unique_handle hProbe(::OpenProcess(PROCESS_DUP_HANDLE, FALSE, PidOf(service.Record())));
  ASSERT_TRUE(hProbe);
  HANDLE hCopy = nullptr;
  ASSERT_TRUE(::DuplicateHandle(
      hProbe.get(), reinterpret_cast<HANDLE>(std::strtoull(strHandle.c_str(), nullptr, 10)),
      ::GetCurrentProcess(), &hCopy, 0, FALSE, DUPLICATE_SAME_ACCESS))
      << ::GetLastError();
  unique_handle hHeld(hCopy);
  DWORD dwWritten = 0;
  ASSERT_TRUE(::WriteFile(hHeld.get(), "outside\n", 8, &dwWritten, nullptr));

  SERVICE_STATUS_PROCESS status = service.StopAndWait(30000);
  ASSERT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_EQ(ReadFileText(strOut), "held\r\noutside\n");
}

TEST(RunnerOutput, BothStreamsInOneFileStayWholeStampedAndCompleteAfterAStop) {
  CServiceFixture service("Shared");
  std::string strBoth = service.Folder() + "both.log";
  ASSERT_TRUE(::CreateDirectoryA((service.Folder() + "sub").c_str(), nullptr));
  // The record is written once every line is; the stop follows at once.
  ASSERT_TRUE(service.InstallProbe("--lines 1500 --size 60"));
  service.SetStringParameter(value::kStdout, strBoth);
  service.SetStringParameter(value::kStderr, service.Folder() + "sub\\..\\BOTH.log");
  service.SetDwordParameter(value::kTimestamps, 1);
  service.SetDwordParameter(value::kRotateBytes, 30000);
  service.SetDwordParameter(value::kRotateKeep, 0);
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForFile(service.Record(), 30000));
  ASSERT_EQ(service.StopAndWait().dwCurrentState, SERVICE_STOPPED);

  // 2 x 1500 lines of 84 bytes: nine files, each under the limit, none torn.
  std::vector<std::string> files = OutputFiles(strBoth);
  EXPECT_EQ(files.size(), 9u);
  for (const std::string& strFile : files) EXPECT_LE(FileSize(strFile), 30000u) << strFile;
  LineReport report = CheckLines(files, 60, true);
  EXPECT_EQ(report.strProblem, "");
  EXPECT_EQ(report.anLast[0], 1500);
  EXPECT_EQ(report.anLast[1], 1500);
}

// Without rotation, timestamps or an output: check the program writes its file itself: both
// streams through one handle when they name one file, appended to what was there, everything
// in it and in order after a stop, and the stop clean: nothing lies between program and file.
TEST(RunnerOutput, WithNothingToDoTheProgramWritesItsFileItselfAndAStopLosesNothing) {
  CServiceFixture service("Direct");
  std::string strBoth = service.Folder() + "both.log";
  ASSERT_TRUE(WriteText(strBoth, "before\n"));
  ASSERT_TRUE(::CreateDirectoryA((service.Folder() + "sub").c_str(), nullptr));
  // One write a line (at a rate it never reaches): a buffered stream would tear the other's
  // lines in a shared file, as any program's would.
  ASSERT_TRUE(service.InstallProbe("--lines 1500 --size 60 --rate 1000000"));
  service.SetStringParameter(value::kStdout, strBoth);
  service.SetStringParameter(value::kStderr, service.Folder() + "sub\\..\\BOTH.log");
  service.SetDwordParameter(value::kRotateKeep, 2);  // nothing to keep without a rotation
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForFile(service.Record(), 30000));
  std::string strRecord = ReadFileText(service.Record());
  EXPECT_EQ(RecordValue(strRecord, "stdout-type"), "1") << strRecord;
  EXPECT_EQ(RecordValue(strRecord, "stderr"), RecordValue(strRecord, "stdout"));
  // The runner holds no file it could rotate (its refusal, 1052, does not come back through
  // Wine's ControlService, which succeeds): the file stays as it is.
  SERVICE_STATUS status = {};
  ::ControlService(service.Handle(), contract::kControlRotate, &status);

  SERVICE_STATUS_PROCESS stopped = service.StopAndWait();
  ASSERT_EQ(stopped.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
  std::vector<std::string> files = OutputFiles(strBoth);
  EXPECT_EQ(files.size(), 1u);
  LineReport report = CheckLines(files, 60, false, 1, "before\n");
  EXPECT_EQ(report.strProblem, "");
  EXPECT_EQ(report.anLast[0], 1500);
  EXPECT_EQ(report.anLast[1], 1500);
}

// Rotated names that sort after today's are there too (a clock set back, a copied file): what
// the runner rotates is kept all the same, and those go first.
TEST(RunnerOutput, RotatesDailyAndOnControl128WhileAReaderHoldsTheFile) {
  CServiceFixture service("Control");
  std::string strOut = service.Folder() + "out.log";
  for (const char* pszLater : {"out-20991231T235959.log", "out-20991231T235959-1.log"}) {
    ASSERT_TRUE(WriteText(service.Folder() + pszLater, "later\n"));
  }
  // An earlier run's file, last written two days ago: the first write goes to a new file.
  {
    unique_hfile hOld(::CreateFileA(strOut.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(hOld);
    DWORD dwWritten = 0;
    ASSERT_TRUE(::WriteFile(hOld.get(), "earlier\n", 8, &dwWritten, nullptr));
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time = {{now.dwLowDateTime, now.dwHighDateTime}};
    time.QuadPart -= 2ull * 24 * 3600 * 10000000;
    FILETIME old = {time.LowPart, time.HighPart};
    ASSERT_TRUE(::SetFileTime(hOld.get(), nullptr, nullptr, &old));
  }
  ASSERT_TRUE(service.Install(ProbePath(), "--lines 100000 --size 50 --rate 40 --streams out", ""));
  service.SetStringParameter(value::kStdout, strOut);
  service.SetDwordParameter(value::kRotateDaily, 1);
  service.SetDwordParameter(value::kRotateKeep, 2);
  ASSERT_TRUE(service.Start());
  auto rotated = [&](std::size_t nIndex) {
    std::vector<std::string> files = OutputFiles(strOut);
    return files.size() == 3 ? ReadFileText(files[nIndex]) : std::string();
  };
  ASSERT_TRUE(WaitUntil([&] { return rotated(1) == "earlier\n"; }, 10000)) << rotated(1);
  EXPECT_EQ(rotated(0), "later\n");
  // Lines arrive as they are written, not when a buffer fills.
  ASSERT_TRUE(WaitUntil([&] { return FileSize(strOut) >= 5 * 50; }, 10000));
  // Opened as log shippers open it, with delete sharing.
  unique_hfile hReader(::CreateFileA(strOut.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(hReader);
  SERVICE_STATUS status;
  ASSERT_TRUE(::ControlService(service.Handle(), contract::kControlRotate, &status))
      << ::GetLastError();
  // The later names go first.
  ASSERT_TRUE(WaitUntil([&] { return rotated(0) == "earlier\n"; }, 5000));
  ASSERT_TRUE(WaitUntil([&] { return FileSize(strOut) >= 2 * 50; }, 5000));
  // The reader followed the file to its new name and reads all of it.
  std::string strRead(64 * 1024, '\0');
  DWORD dwRead = 0;
  ASSERT_TRUE(::ReadFile(hReader.get(), strRead.data(), static_cast<DWORD>(strRead.size()), &dwRead,
                         nullptr));
  strRead.resize(dwRead);
  EXPECT_EQ(strRead, ReadFileText(OutputFiles(strOut)[1]));
  EXPECT_EQ(service.Query().dwCurrentState, SERVICE_RUNNING);

  ASSERT_EQ(service.StopAndWait().dwCurrentState, SERVICE_STOPPED);
  LineReport report = CheckLines(OutputFiles(strOut), 50, false, 1, "earlier\n");
  EXPECT_EQ(report.strProblem, "");
  EXPECT_GE(report.anLast[0], 7);
}

// Control 128 while the program is silent, its standard error ending in a prompt that waits for
// an answer (written out after half a second): both files rotate at once, the prompt with the
// lines before it.
TEST(RunnerOutput, Control128RotatesBothFilesAtOnce) {
  CServiceFixture service("Both");
  std::string astrLive[2] = {service.Folder() + "out.log", service.Folder() + "err.log"};
  ASSERT_TRUE(service.InstallProbe("--lines 5 --size 40 --prompt answer?"));
  service.SetStringParameter(value::kStdout, astrLive[0]);
  service.SetStringParameter(value::kStderr, astrLive[1]);
  service.SetDwordParameter(value::kRotateBytes, kNeverReached);
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(WaitForFile(service.Record(), 10000));
  ASSERT_TRUE(WaitUntil(
      [&] { return FileSize(astrLive[0]) == 5 * 40 && FileSize(astrLive[1]) == 5 * 40 + 7; },
      5000));
  SERVICE_STATUS status;
  ASSERT_TRUE(::ControlService(service.Handle(), contract::kControlRotate, &status))
      << ::GetLastError();
  EXPECT_TRUE(WaitUntil(
      [&] { return OutputFiles(astrLive[0]).size() == 2 && OutputFiles(astrLive[1]).size() == 2; },
      5000));
  for (int nStream = 0; nStream < 2; ++nStream) {
    std::vector<std::string> files = OutputFiles(astrLive[nStream]);
    ASSERT_EQ(files.size(), 2u) << astrLive[nStream];
    EXPECT_EQ(FileSize(files[0]), 5u * 40 + (nStream == 0 ? 0 : 7)) << files[0];
    EXPECT_EQ(FileSize(files[1]), 0u) << files[1];
  }
  EXPECT_EQ(service.StopAndWait().dwCurrentState, SERVICE_STOPPED);
}

// The long line --long writes to a stream: 13 letters over and over, and its line end.
std::string LongLine(std::size_t nSize, char cFirst) {
  std::string strLine;
  for (std::size_t i = 0; i + 1 < nSize; ++i) strLine += static_cast<char>(cFirst + i % 13);
  return strLine + "\n";
}

// A line of 600 KiB (more than twice the runner's buffer), left unfinished for a while halfway,
// before 300 ordinary lines of each stream: in a file of its own it arrives as it was written; in a
// file shared by both streams in pieces of the buffer's size with the other stream's lines between
// them; either way everything after it arrives too.
TEST(RunnerOutput, LinesLongerThanTheBufferArriveAndTheReadingGoesOn) {
  constexpr std::size_t kLong = 600 * 1024;
  for (bool bShared : {false, true}) {
    CServiceFixture service(bShared ? "LongShared" : "LongOwn");
    std::string strOut = service.Folder() + "out.log";
    std::string strErr = bShared ? strOut : service.Folder() + "err.log";
    ASSERT_TRUE(service.Install(
        ProbePath(), "--long " + std::to_string(kLong) + " --lines 300 --size 60 --exit 0", ""));
    service.SetStringParameter(value::kStdout, strOut);
    service.SetStringParameter(value::kStderr, strErr);
    service.SetDwordParameter(value::kRotateBytes, kNeverReached);
    ASSERT_TRUE(service.Start());
    ASSERT_EQ(service.WaitForState(SERVICE_STOPPED, 30000).dwCurrentState, SERVICE_STOPPED);

    std::string strText = ReadFileText(strOut);
    if (!bShared) {
      std::string strErrText = ReadFileText(strErr);
      EXPECT_EQ(strText.substr(0, kLong), LongLine(kLong, 'A'));
      EXPECT_EQ(strErrText.substr(0, kLong), LongLine(kLong, 'N'));
      strText += strErrText;
    }
    // Each stream's letters in order, whatever came between them.
    std::string astrLetters[2];
    for (char c : strText) {
      if (c >= 'A' && c <= 'Z') astrLetters[c < 'N' ? 0 : 1] += c;
    }
    EXPECT_EQ(astrLetters[0] + "\n", LongLine(kLong, 'A')) << bShared;
    EXPECT_EQ(astrLetters[1] + "\n", LongLine(kLong, 'N')) << bShared;
    // Without them and their two line ends, the ordinary lines are all there.
    strText.erase(
        std::remove_if(strText.begin(), strText.end(), [](char c) { return c >= 'A' && c <= 'Z'; }),
        strText.end());
    for (int nEnd = 0; nEnd < 2; ++nEnd) {
      std::size_t pos = strText[0] == '\n' ? 0 : strText.find("\n\n");
      ASSERT_NE(pos, std::string::npos) << bShared;
      strText.erase(pos, 1);
    }
    std::string strLines = service.Folder() + "lines.txt";
    ASSERT_TRUE(WriteText(strLines, strText));
    LineReport report = CheckLines({strLines}, 60, false);
    EXPECT_EQ(report.strProblem, "") << bShared;
    EXPECT_EQ(report.anLast[0], 300) << bShared;
    EXPECT_EQ(report.anLast[1], 300) << bShared;
  }
}

// Each run writes lines 1 to 50 and fails; the runner starts it again after 100 to 400 ms. The
// live file is held at first without delete sharing, so it cannot be renamed while open.
TEST(RunnerOutput, OutputGoesOnIntoTheSameFilesAcrossRestartsAndRotationsThatCannotHappen) {
  CServiceFixture service("Restarts");
  std::string strOut = service.Folder() + "out.log";
  ASSERT_TRUE(WriteText(strOut, "earlier\n"));
  unique_hfile hHolder(::CreateFileA(strOut.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(hHolder);
  ASSERT_TRUE(service.Install(ProbePath(), "--lines 50 --size 40 --streams out --exit 3", ""));
  service.SetStringParameter(value::kStdout, strOut);
  service.SetDwordParameter(value::kRestartDelay, 100);
  service.SetDwordParameter(value::kRestartDelayMax, 400);
  service.SetDwordParameter(value::kRotateBytes, 1000);
  service.SetDwordParameter(value::kRotateKeep, 0);
  ASSERT_TRUE(service.Start());
  // The rotation that cannot happen keeps the service and the output going.
  EXPECT_TRUE(WaitUntil([&] { return FileSize(strOut) > 3000; }, 10000));
  EXPECT_EQ(OutputFiles(strOut).size(), 1u);
  EXPECT_EQ(service.Query().dwCurrentState, SERVICE_RUNNING);

  // Once the file is free, the next rotation point rotates it.
  hHolder.reset();
  auto lines = [&] { return CheckLines(OutputFiles(strOut), 40, false, 1, "earlier\n", 50); };
  EXPECT_TRUE(WaitUntil(
      [&] { return OutputFiles(strOut).size() >= 3 && lines().anLast[0] >= 3 * 50; }, 10000));
  ASSERT_EQ(service.StopAndWait().dwCurrentState, SERVICE_STOPPED);
  LineReport report = lines();
  EXPECT_EQ(report.strProblem, "");
  EXPECT_EQ(report.anLast[0] % 50, 0);  // every run's lines, none twice
}

}  // namespace
}  // namespace qm::runner::test
