// The one-line rendering of a system error, as the window and the command line show it.

#include "platform/error_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/platform/fake_platform.h"

namespace qm::platform::test {
namespace {

std::string Render(CFakePlatform& fake, std::uint32_t code, int capacity = kErrorTextCapacity) {
  std::string strLine = SystemErrorText(fake, code, capacity);
  EXPECT_EQ(fake.LiveBlockCount(), 0u) << "the system text must be released";
  return strLine;
}

// A system text of exactly cch characters, its line end included.
std::string TextOfLength(std::size_t cch) {
  return std::string(cch - 2, 't') + "\r\n";
}

TEST(SvcErrorTextTest, SystemTextWithoutItsLineEndAndTheCodeInHex) {
  CFakePlatform fake;
  EXPECT_EQ(Render(fake, 5), "Access is denied. (0x5)");
  EXPECT_EQ(Render(fake, 0), "The operation completed successfully. (0x0)");
  EXPECT_EQ(fake.m_calls[0], "FormatMessage(0x3300,5,0)");
  EXPECT_EQ(fake.CountCalls("LocalFree"), 2);
  fake.SetLastError(5);
  EXPECT_EQ(LastErrorText(fake), "Access is denied. (0x5)");
}

TEST(SvcErrorTextTest, UnknownCodeGivesTheEmptyTextAndFreesNothing) {
  CFakePlatform fake;
  EXPECT_EQ(Render(fake, 12345), "");
  EXPECT_EQ(fake.CountCalls("LocalFree"), 0);
}

TEST(SvcErrorTextTest, CapacityEdges) {
  CFakePlatform fake;
  fake.SetMessageText(0xDEADBEEFu, TextOfLength(242));
  const std::string strLongest = Render(fake, 0xDEADBEEFu);
  EXPECT_EQ(strLongest, std::string(240, 't') + " (0xdeadbeef)");
  EXPECT_EQ(strLongest.size(), 253u);
  fake.SetMessageText(0xDEADBEEFu, TextOfLength(243));
  EXPECT_EQ(Render(fake, 0xDEADBEEFu), "");
  // The test is n + 14 <= capacity, whatever the capacity.
  fake.SetMessageText(7, TextOfLength(10));
  EXPECT_EQ(Render(fake, 7, 24), "tttttttt (0x7)");
  EXPECT_EQ(Render(fake, 7, 23), "");
  EXPECT_EQ(Render(fake, 7, 0), "");
  EXPECT_EQ(Render(fake, 7, -5), "");
  EXPECT_EQ(fake.CountCalls("LocalFree"), 6);
}

TEST(SvcErrorTextTest, InsertMarkersStayInTheText) {
  CFakePlatform fake;
  fake.SetMessageText(1, "The file %1 could not be found on %2.\r\n");
  EXPECT_EQ(Render(fake, 1), "The file %1 could not be found on %2. (0x1)");
}

TEST(SvcErrorTextTest, TextWithoutALineEndTouchesNothingOutsideIt) {
  CFakePlatform fake;
  fake.SetMessageText(3, "x");
  EXPECT_EQ(Render(fake, 3), " (0x3)");
  fake.SetMessageText(3, "");
  EXPECT_EQ(Render(fake, 3), "");
}

}  // namespace
}  // namespace qm::platform::test
