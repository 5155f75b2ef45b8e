// The event log's line for a system error: how the system's text is trimmed, and what stands
// in for a text the system does not have. (The window's line is tested through its seam.)

#include "common/error_line.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorLine, EventLogLineTrimsTheTextAndFallsBackToTheCode) {
  struct Row {
    const char* pszSystemText;
    std::uint32_t dwError;
    const char* pszLine;
  };
  const Row kRows[] = {
      {"Access is denied.\r\n", 5, "Access is denied. (0x5)"},
      {"Two lines.\r\nOf text. \r\n\r\n", 5, "Two lines.\r\nOf text. (0x5)"},
      {"No line end", 5, "No line end (0x5)"},
      {"Access violation.\r\n", 0xC0000005u, "Access violation. (0xc0000005)"},
      {"", 1053, "error 0x41d"},
      {" \r\n", 1053, "error 0x41d"},
  };
  for (const Row& row : kRows) {
    EXPECT_EQ(qm::SystemErrorLine(row.pszSystemText, row.dwError, qm::ErrorLineForm::kEventLog),
              row.pszLine)
        << row.pszSystemText;
  }
}

}  // namespace
