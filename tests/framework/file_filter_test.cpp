// The "desc|pattern|...||" filter form turned into the common dialog's NUL-separated list.
#include "framework/file_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace qm::fw {
namespace {

TEST(ConvertFilter, BarsBecomeNulsAndTheListEndsWithTwo) {
  using namespace std::string_literals;
  EXPECT_EQ(ConvertFilter("Executable Files (*.exe)|*.exe|All Files(*.*)|*.*||"),
            "Executable Files (*.exe)\0*.exe\0All Files(*.*)\0*.*\0\0"s);
  // A filter missing its final bars still ends properly, and nothing is doubled.
  EXPECT_EQ(ConvertFilter("Text|*.txt"), "Text\0*.txt\0\0"s);
  EXPECT_EQ(ConvertFilter("Text|*.txt|"), "Text\0*.txt\0\0"s);
  EXPECT_EQ(ConvertFilter(""), "\0\0"s);
  EXPECT_EQ(ConvertFilter(nullptr), "\0\0"s);
}

}  // namespace
}  // namespace qm::fw
