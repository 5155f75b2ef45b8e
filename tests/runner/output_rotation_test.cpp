// The runner's output decisions: rotated names, which rotated files to keep, where output may
// be cut into files, and line timestamps.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "runner/core/failure_episode.h"
#include "runner/core/line_stamper.h"
#include "runner/core/rotated_files.h"
#include "runner/core/rotation_plan.h"

namespace qm::runner {
namespace {

constexpr LocalTime kTime = {2026, 12, 8, 22, 13, 0, 7};

TEST(RotatedPath, InsertsTheTimeAndCounterBeforeTheExtensionAndIsRecognisedAgain) {
  struct Case {
    const char* pszLive;
    unsigned nCounter;
    const char* pszRotated;
  } cases[] = {
      {"C:\\logs\\app.log", 0, "C:\\logs\\app-20261208T221300.log"},
      {"C:\\logs\\app.log", 2, "C:\\logs\\app-20261208T221300-2.log"},
      {"C:\\my.logs\\app", 0, "C:\\my.logs\\app-20261208T221300"},
      {"C:\\logs\\app.tar.gz", 0, "C:\\logs\\app.tar-20261208T221300.gz"},
      {"C:\\logs\\.log", 1, "C:\\logs\\.log-20261208T221300-1"},
      {"out.txt", 0, "out-20261208T221300.txt"},
      {"D:/logs/out.txt", 0, "D:/logs/out-20261208T221300.txt"},
  };
  for (const Case& c : cases) {
    std::string strRotated = RotatedPath(c.pszLive, kTime, c.nCounter);
    EXPECT_EQ(strRotated, c.pszRotated) << c.pszLive;
    // Every rotated name is found by the search pattern and recognised again.
    RotatedKey key;
    std::string strName = strRotated.substr(strRotated.find_last_of("\\/") + 1);
    EXPECT_TRUE(ParseRotatedName(c.pszLive, strName, key)) << strName;
    EXPECT_EQ(key.ullStamp, 20261208221300u);
    EXPECT_EQ(key.nCounter, c.nCounter);
  }
  EXPECT_EQ(RotatedStamp(kTime), 20261208221300u);
  EXPECT_EQ(RotatedSearchPattern("C:\\logs\\app.log"), "C:\\logs\\app-*.log");

  // Only the live file's own rotated names are recognised, in any case.
  const char* pszLive = "C:\\logs\\App.Log";
  RotatedKey key;
  EXPECT_TRUE(ParseRotatedName(pszLive, "app-20261208T221300.LOG", key));
  for (const char* pszOther :
       {"app.log", "app-2026120T221300.log", "app-20261208X221300.log", "app-20261208T221300-.log",
        "app-20261208T221300-01.log", "app-20261208T221300-1x.log", "app-20261208T221300.txt",
        "apps-20261208T221300.log", "app-extra-20261208T221300.log", "app-20261208T221300"}) {
    EXPECT_FALSE(ParseRotatedName(pszLive, pszOther, key)) << pszOther;
  }
}

TEST(ChooseRotatedToDelete, KeepsTheNewestByTimeThenCounter) {
  // In the order a folder listing may give them; "-10" is newer than "-9".
  std::vector<RotatedKey> found = {{20261208221300, 10},
                                   {20261207000000, 0},
                                   {20261208221300, 9},
                                   {20261208221300, 0},
                                   {20261209000000, 0}};
  EXPECT_EQ(ChooseRotatedToDelete(found, 2), (std::vector<std::size_t>{1, 2, 3}));
  EXPECT_EQ(ChooseRotatedToDelete(found, 4), (std::vector<std::size_t>{1}));
  EXPECT_TRUE(ChooseRotatedToDelete(found, 5).empty());
  EXPECT_TRUE(ChooseRotatedToDelete(found, 0).empty());  // 0 keeps all
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
      WriteStep step = PlanWrite(state, ullLimit, rest, false);
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

TEST(PlanWrite, ADueRotationWaitsForTheLineEndAndSkipsAnEmptyFile) {
  LiveFileState state;
  EXPECT_FALSE(PlanWrite(state, 0, "x\n", true).bRotateFirst);  // nothing to rotate yet
  NoteWritten(state, "abc");
  WriteStep step = PlanWrite(state, 0, "def\n", true);
  EXPECT_FALSE(step.bRotateFirst);
  EXPECT_EQ(step.nBytes, 4u);
  NoteWritten(state, "def\n");
  EXPECT_TRUE(PlanWrite(state, 0, "next\n", true).bRotateFirst);
  EXPECT_TRUE(PlanWrite(state, 0, "", true).bRotateFirst);  // asked for with nothing new
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
