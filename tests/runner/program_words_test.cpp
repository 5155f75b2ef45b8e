// What the program tells the runner by itself: the notify pipe's lines, and the lines of its
// output that an output: check looks for, both arriving in pieces that do not follow lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runner/core/notify_lines.h"
#include "runner/core/output_match.h"

namespace qm::runner {
namespace {

TEST(NotifyLines, TakesTheThreeMessagesWholeAndIgnoresTheRest) {
  const struct {
    const char* pszName;
    std::vector<std::string> pieces;
    bool bClosed;
    std::string strExpected;  // each message as R, W or S(text)
  } kCases[] = {
      {"one line each", {"READY=1\nWATCHDOG=1\nSTATUS=Serving 3\n"}, false, "RWS(Serving 3)"},
      {"CRLF and pieces", {"REA", "DY=1\r", "\nWATCH", "DOG=1\r\n"}, false, "RW"},
      {"an unfinished line counts once the program closes", {"READY=1"}, true, "R"},
      {"but not before", {"READY=1"}, false, ""},
      {"other lines", {"READY=0\nready=1\nREADY=1 \nHELLO\nSTATUS=\n"}, false, "S()"},
      {"a line too long is dropped whole",
       {"STATUS=" + std::string(kMaxNotifyLine, 'x'), "yy\nREADY=1\n"},
       false,
       "R"},
      {"a status of the longest length",
       {"STATUS=" + std::string(kMaxNotifyLine - 7, 'x') + "\n"},
       false,
       "S(" + std::string(kMaxNotifyLine - 7, 'x') + ")"},
  };
  for (const auto& c : kCases) {
    CNotifyLines lines;
    std::string strSeen;
    const auto onMessage = [&](const NotifyMessage& message) {
      strSeen += message.kind == NotifyKind::kReady      ? "R"
                 : message.kind == NotifyKind::kWatchdog ? "W"
                                                         : "S(" + message.strStatus + ")";
    };
    for (const std::string& strPiece : c.pieces) lines.Feed(strPiece, onMessage);
    if (c.bClosed) lines.End(onMessage);
    EXPECT_EQ(strSeen, c.strExpected) << c.pszName;
  }
}

TEST(OutputMatch, ALineHoldingTheTextCountsOnceAsSoonAsTheTextIsThere) {
  const struct {
    const char* pszName;
    std::vector<std::string> pieces;
    std::string strExpected;  // per piece: 1 when it completed a match, else 0
  } kCases[] = {
      {"in one piece", {"Tomcat started on port 8080\n"}, "1"},
      {"split over pieces", {"Tomcat sta", "rted on port 8080"}, "01"},
      {"split letter by letter", {"s", "t", "a", "r", "t", "e", "d"}, "0000001"},
      {"once per line", {"started started\n", "started", " again\n"}, "110"},
      {"never across a line end", {"star\nted\n"}, "0"},
      {"another line later", {"started\nnothing\n", "started\n"}, "11"},
      {"case matters", {"STARTED\n"}, "0"},
  };
  for (const auto& c : kCases) {
    COutputMatch match("started");
    std::string strSeen;
    for (const std::string& strPiece : c.pieces) strSeen += match.Feed(strPiece) ? "1" : "0";
    EXPECT_EQ(strSeen, c.strExpected) << c.pszName;
  }
}

}  // namespace
}  // namespace qm::runner
