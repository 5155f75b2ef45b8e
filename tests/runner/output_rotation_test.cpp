// The runner's output decisions: whether the output passes through the runner, rotated names, which
// rotated files to keep, where output may be cut into files, how long the service's end waits for
// it, and line timestamps.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "runner/core/failure_episode.h"
#include "runner/core/line_stamper.h"
#include "runner/core/output_drain.h"
#include "runner/core/output_route.h"
#include "runner/core/rotated_files.h"
#include "runner/core/rotation_plan.h"

namespace qm::runner {
namespace {

constexpr LocalTime kTime = {2026, 12, 8, 22, 13, 0, 7};

TEST(RouteOutput, TheProgramWritesItsFilesItselfUnlessALineMustPassTheRunner) {
  const struct {
    const char* pszCase;
    const char* pszStdout;
    const char* pszStderr;
    std::uint32_t dwRotateBytes;
    std::uint32_t dwRotateDaily;
    std::uint32_t dwTimestamps;
    const char* pszReady;
    const char* pszHealth;
    OutputRoute route;
  } cases[] = {
      {"nothing set", "", "", 0, 0, 0, "", "", OutputRoute::kDiscarded},
      {"both files", "C:\\out.log", "C:\\err.log", 0, 0, 0, "", "", OutputRoute::kDirect},
      {"one file", "", "C:\\err.log", 0, 0, 0, "", "", OutputRoute::kDirect},
      {"other checks", "C:\\o.log", "", 0, 0, 0, "tcp:80", "notify", OutputRoute::kDirect},
      {"by size", "C:\\o.log", "", 1000, 0, 0, "", "", OutputRoute::kCaptured},
      {"daily", "", "C:\\e.log", 0, 1, 0, "", "", OutputRoute::kCaptured},
      {"stamped", "C:\\o.log", "C:\\o.log", 0, 0, 1, "", "", OutputRoute::kCaptured},
      {"ready", "C:\\o.log", "", 0, 0, 0, "output:Started", "", OutputRoute::kCaptured},
      {"health", "C:\\o.log", "", 0, 0, 0, "", "output:alive", OutputRoute::kCaptured},
      // The lines are read and dropped: nothing to hand over.
      {"check only", "", "", 0, 0, 0, "output:Started", "", OutputRoute::kCaptured},
      // Rotation without a file rotates nothing.
      {"no file", "", "", 1000, 1, 1, "", "", OutputRoute::kDiscarded},
  };
  for (const auto& test : cases) {
    RunnerSettings settings;
    settings.strStdout = test.pszStdout;
    settings.strStderr = test.pszStderr;
    settings.dwRotateBytes = test.dwRotateBytes;
    settings.dwRotateDaily = test.dwRotateDaily;
    settings.dwTimestamps = test.dwTimestamps;
    settings.strReadyCheck = test.pszReady;
    settings.strHealthCheck = test.pszHealth;
    EXPECT_EQ(RouteOutput(settings), test.route) << test.pszCase;
  }
}

TEST(RotatedPath, InsertsTheTimeAndNumberBeforeTheExtensionAndIsRecognisedAgain) {
  struct Case {
    const char* pszLive;
    std::uint64_t ullNumber;
    const char* pszRotated;
  } cases[] = {
      {"C:\\logs\\app.log", 1, "C:\\logs\\app-20261208T221300Z-1.log"},
      {"C:\\logs\\app.log", 1234567, "C:\\logs\\app-20261208T221300Z-1234567.log"},
      {"C:\\my.logs\\app", 2, "C:\\my.logs\\app-20261208T221300Z-2"},
      {"C:\\logs\\app.tar.gz", 3, "C:\\logs\\app.tar-20261208T221300Z-3.gz"},
      {"C:\\logs\\.log", 4, "C:\\logs\\.log-20261208T221300Z-4"},
      {"out.txt", 5, "out-20261208T221300Z-5.txt"},
      {"D:/logs/out.txt", 6, "D:/logs/out-20261208T221300Z-6.txt"},
  };
  for (const Case& c : cases) {
    std::string strRotated = RotatedPath(c.pszLive, kTime, c.ullNumber);
    EXPECT_EQ(strRotated, c.pszRotated) << c.pszLive;
    // Every rotated name is found by the search pattern and recognised again.
    RotatedKey key;
    std::string strName = strRotated.substr(strRotated.find_last_of("\\/") + 1);
    EXPECT_TRUE(ParseRotatedName(c.pszLive, strName, key)) << strName;
    EXPECT_EQ(key.ullNumber, c.ullNumber);
    EXPECT_EQ(key.ullStamp, 20261208221300u);
  }
  EXPECT_EQ(RotatedStamp(kTime), 20261208221300u);
  EXPECT_EQ(RotatedSearchPattern("C:\\logs\\app.log"), "C:\\logs\\app-*.log");

  // Only the live file's own rotated names are recognised, in any case, and those of the
  // earlier form (local time, a counter within the second) too, without a number.
  const char* pszLive = "C:\\logs\\App.Log";
  struct Earlier {
    const char* pszName;
    unsigned nCounter;
  } earlier[] = {{"app-20261208T221300.LOG", 0}, {"app-20261208T221300-12.log", 12}};
  for (const Earlier& e : earlier) {
    RotatedKey key;
    EXPECT_TRUE(ParseRotatedName(pszLive, e.pszName, key)) << e.pszName;
    EXPECT_EQ(key.ullNumber, 0u);
    EXPECT_EQ(key.ullStamp, 20261208221300u);
    EXPECT_EQ(key.nCounter, e.nCounter);
  }
  RotatedKey key;
  EXPECT_TRUE(ParseRotatedName(pszLive, "APP-20261208t221300z-7.log", key));
  for (const char* pszOther :
       {"app.log", "app-2026120T221300.log", "app-20261208X221300.log", "app-20261208T221300-.log",
        "app-20261208T221300-01.log", "app-20261208T221300-1x.log", "app-20261208T221300.txt",
        "apps-20261208T221300.log", "app-extra-20261208T221300.log", "app-20261208T221300",
        "app-20261208T221300Z.log", "app-20261208T221300Z-0.log", "app-20261208T221300Z-01.log",
        "app-20261208T221300Z1.log", "app-20261208T221300Z-1234567890123456789.log",
        "app-7-20261208T221300.log"}) {
    EXPECT_FALSE(ParseRotatedName(pszLive, pszOther, key)) << pszOther;
  }
}

TEST(ChooseRotatedToDelete, KeepsWhatWasJustRotatedThenTheNewestByNumber) {
  // Keys as ParseRotatedName gives them: numbered ones after all of the earlier form.
  RotatedKey later = {0, 20991231235959, 0};     // app-20991231T235959.log
  RotatedKey laterOne = {0, 20991231235959, 1};  // app-20991231T235959-1.log
  RotatedKey earlierNine = {0, 20261208221300, 9};
  RotatedKey earlierTen = {0, 20261208221300, 10};  // "-10" is newer than "-9"
  RotatedKey first = {1, 20261207000000, 0};
  RotatedKey second = {2, 20261201000000, 0};    // the clock went back: the number still counts
  RotatedKey copied = {500, 20991231235959, 0};  // a numbered name from elsewhere
  struct Case {
    std::vector<RotatedKey> found;
    std::uint32_t nKeep;
    std::size_t nJustRotated;
    std::vector<std::size_t> deleted;
  } cases[] = {
      // Later names of the earlier form already there: they go, not the file just rotated.
      {{later, laterOne, first}, 2, 2, {0}},
      {{later, laterOne, first}, 1, 2, {0, 1}},
      {{second, earlierTen, first, earlierNine}, 2, 0, {1, 3}},
      {{earlierTen, earlierNine, later}, 2, 3, {1}},  // none just rotated (index past the end)
      {{first, second, earlierNine}, 3, 1, {}},
      {{first, second, earlierNine}, 0, 1, {}},  // 0 keeps all
      // A copied number above the new one: the file just rotated stays all the same.
      {{copied, first, second}, 1, 2, {0, 1}},
      {{copied, first, second}, 2, 2, {1}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseRotatedToDelete(c.found, c.nKeep, c.nJustRotated), c.deleted)
        << "keep " << c.nKeep << " of " << c.found.size() << ", just rotated " << c.nJustRotated;
  }
  EXPECT_EQ(NextRotationNumber({later, laterOne}), 1u);
  EXPECT_EQ(NextRotationNumber({second, copied, first}), 501u);
  EXPECT_EQ(NextRotationNumber({}), 1u);
}

// Runs data through the plan into files, as the runner does; rotation always succeeds.
std::vector<std::string> WriteThrough(const std::vector<std::string>& pieces,
                                      std::uint64_t ullLimit, std::string strFirst = "") {
  std::vector<std::string> files = {strFirst};
  LiveFileState state;
  NoteWritten(state, strFirst);
  for (const std::string& strPiece : pieces) {
    std::string_view rest = strPiece;
    while (!rest.empty()) {
      WriteStep step = PlanWrite(state, ullLimit, rest, RotationDue::kNo);
      if (step.bRotateFirst) {
        files.emplace_back();
        state = {};
        continue;
      }
      EXPECT_GT(step.nBytes, 0u);
      if (step.nBytes == 0) return files;
      files.back().append(rest.substr(0, step.nBytes));
      NoteWritten(state, rest.substr(0, step.nBytes));
      rest.remove_prefix(step.nBytes);
    }
  }
  return files;
}

TEST(PlanWrite, CutsBetweenLinesUnlessALineIsLongerThanAFile) {
  struct Case {
    std::vector<std::string> pieces;
    std::uint64_t ullLimit;
    std::string strFirst;  // already in the live file
    std::vector<std::string> files;
  } cases[] = {
      {{"aa\nbb\ncc\n"}, 6, "", {"aa\nbb\n", "cc\n"}},
      {{"aa\nbbbb\n"}, 6, "", {"aa\n", "bbbb\n"}},
      {{"aa\n", "bb\n"}, 0, "old\n", {"old\naa\nbb\n"}},
      {{"aa\n"}, 4, "old\n", {"old\n", "aa\n"}},
      // Longer than a file: the only case that is split.
      {{"0123456789\nx\n"}, 4, "", {"0123", "4567", "89\n", "x\n"}},
      {{"a\n0123456789\n"}, 4, "", {"a\n", "0123", "4567", "89\n"}},
      // A line already begun (written before its end arrived) stays whole past the limit.
      {{"ab", "cdef\n", "g\n"}, 8, "x\n", {"x\nabcdef\n", "g\n"}},
      {{"abc", "def", "ghi\n"}, 4, "", {"abcd", "efgh", "i\n"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WriteThrough(c.pieces, c.ullLimit, c.strFirst), c.files)
        << c.pieces[0] << " limit " << c.ullLimit;
  }
}

TEST(PlanWrite, RandomLinesStayWholeAndInOrderUnderTheLimit) {
  std::mt19937 random(13);
  for (int nRound = 0; nRound < 200; ++nRound) {
    std::uint64_t ullLimit = 8 + random() % 120;
    std::string strAll;
    std::vector<std::string> pieces;
    for (int nLine = 0; nLine < 40; ++nLine) {
      std::string strLine(random() % (ullLimit + 8), static_cast<char>('a' + nLine % 26));
      strAll += strLine + "\n";
    }
    // Lines arrive in arbitrary pieces, always with their ends (as the runner hands them over).
    for (std::size_t pos = 0; pos < strAll.size();) {
      std::size_t end = strAll.find('\n', pos + random() % 200);
      end = end == std::string::npos ? strAll.size() : end + 1;
      pieces.push_back(strAll.substr(pos, end - pos));
      pos = end;
    }
    std::vector<std::string> files = WriteThrough(pieces, ullLimit);
    std::string strJoined;
    for (const std::string& strFile : files) {
      strJoined += strFile;
      EXPECT_LE(strFile.size(), ullLimit);
      EXPECT_FALSE(strFile.empty());
      // A file ends at a line end unless the line it ends in is longer than a file.
      std::size_t last = strJoined.size() - 1;
      if (&strFile != &files.back() && strAll[last] != '\n') {
        std::size_t lineStart = strAll.rfind('\n', last);
        lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
        EXPECT_GT(strAll.find('\n', last) + 1 - lineStart, ullLimit);
      }
    }
    EXPECT_EQ(strJoined, strAll);
  }
}

TEST(PlanWrite, ADailyRotationWaitsForTheLineEndOneAskedForDoesNot) {
  constexpr RotationDue kDaily = RotationDue::kAtLineEnd;
  constexpr RotationDue kAsked = RotationDue::kNow;
  LiveFileState state;
  EXPECT_FALSE(PlanWrite(state, 0, "x\n", kDaily).bRotateFirst);  // nothing to rotate yet
  EXPECT_FALSE(PlanWrite(state, 0, "x\n", kAsked).bRotateFirst);
  NoteWritten(state, "abc");
  // Inside a line: a new day waits for its end; a request cuts it (the line may never end).
  WriteStep step = PlanWrite(state, 0, "def\n", kDaily);
  EXPECT_FALSE(step.bRotateFirst);
  EXPECT_EQ(step.nBytes, 4u);
  EXPECT_TRUE(PlanWrite(state, 0, "def\n", kAsked).bRotateFirst);
  EXPECT_TRUE(PlanWrite(state, 0, "", kAsked).bRotateFirst);  // asked for with nothing new
  NoteWritten(state, "def\n");
  EXPECT_TRUE(PlanWrite(state, 0, "next\n", kDaily).bRotateFirst);
  EXPECT_TRUE(PlanWrite(state, 0, "", kDaily).bRotateFirst);
}

TEST(PlanOutputWait, AStopSharesItsTimeoutTheProgramsOwnEndGetsAWholeOne) {
  struct Case {
    std::uint32_t stopTimeoutMs;
    bool bStopAsked;
    std::uint64_t sinceStopAskedMs;
    std::uint32_t waitMs;
  } cases[] = {
      {15000, true, 2000, 13000},  // the program took 2 s to end: 13 s left for its output
      {15000, true, 14000, kOutputAfterEndMs},  // never less than the floor
      {15000, true, 18000, kOutputAfterEndMs},  // ended by force after the timeout
      {600000, true, 0, 600000},
      {15000, false, 0, 15000},  // ended by itself: the time a stop would have
      {15000, false, 99999, 15000},
      {0, false, 0, kOutputAfterEndMs},  // ended at once by force when stopped: still the floor
      {0, true, 5, kOutputAfterEndMs},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlanOutputWait(c.stopTimeoutMs, c.bStopAsked, c.sinceStopAskedMs), c.waitMs)
        << c.stopTimeoutMs << " " << c.bStopAsked << " " << c.sinceStopAskedMs;
  }
}

TEST(CLineStamper, StampsEachLineOnceWhateverThePieces) {
  char szStamp[kTimestampLength + 1];
  FormatTimestamp(kTime, szStamp);
  EXPECT_STREQ(szStamp, "2026-12-08 22:13:00.007 ");

  CLineStamper stamper;
  std::string strOut;
  for (std::string_view piece : {"one\ntw", "o\n", "", "\nthree"}) {
    char buffer[64];
    while (!piece.empty()) {
      std::size_t nWritten = 0;
      // Room for the stamp and a few bytes: the output may end in the middle of a line.
      std::size_t nUsed = stamper.Stamp(piece, "T ", buffer, 5, nWritten);
      ASSERT_GT(nUsed + nWritten, 0u);
      strOut.append(buffer, nWritten);
      piece.remove_prefix(nUsed);
    }
  }
  EXPECT_EQ(strOut, "T one\nT two\nT \nT three");
  EXPECT_FALSE(stamper.AtLineStart());
}

TEST(CFailureEpisode, ReportsTheFirstFailureOfEachRunAndItsEnd) {
  CFailureEpisode episode;
  EXPECT_FALSE(episode.Succeeded());
  EXPECT_TRUE(episode.Failed());
  EXPECT_FALSE(episode.Failed());
  EXPECT_FALSE(episode.Failed());
  EXPECT_TRUE(episode.Succeeded());
  EXPECT_FALSE(episode.Succeeded());
  EXPECT_TRUE(episode.Failed());
}

}  // namespace
}  // namespace qm::runner
