// The minimised window's icon position: centred, truncating towards zero.
#include "app/icon_position.h"

#include <gtest/gtest.h>

namespace qm::app {
namespace {

TEST(CenterIcon, CentresAndTruncatesTowardsZero) {
  // Even slack splits evenly; odd slack rounds up by the +1 before halving.
  EXPECT_EQ(CenterIcon(0, 0, 36, 36, 32, 32).x, 2);
  EXPECT_EQ(CenterIcon(0, 0, 36, 36, 32, 32).y, 2);
  EXPECT_EQ(CenterIcon(0, 0, 37, 35, 32, 32).x, 3);
  EXPECT_EQ(CenterIcon(0, 0, 37, 35, 32, 32).y, 2);
  // Smaller than the icon: negative, truncated towards zero (-31 / 2 is -15, not -16).
  EXPECT_EQ(CenterIcon(0, 0, 0, 0, 32, 32).x, -15);
  EXPECT_EQ(CenterIcon(0, 0, 0, 0, 32, 32).y, -15);
  EXPECT_EQ(CenterIcon(0, 0, 1, 2, 32, 32).x, -15);
  EXPECT_EQ(CenterIcon(0, 0, 1, 2, 32, 32).y, -14);
  // Only the rectangle's size counts, not where it starts; width and height independently.
  EXPECT_EQ(CenterIcon(10, 20, 46, 56, 32, 32).x, 2);
  EXPECT_EQ(CenterIcon(10, 20, 46, 56, 32, 32).y, 2);
  EXPECT_EQ(CenterIcon(0, 0, 100, 50, 48, 16).x, 26);
  EXPECT_EQ(CenterIcon(0, 0, 100, 50, 48, 16).y, 17);
}

}  // namespace
}  // namespace qm::app
