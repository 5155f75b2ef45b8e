#include "runner/core/command_line.h"

#include <gtest/gtest.h>

namespace qm::runner {
namespace {

TEST(ComposeCommandLine, QuotesARunfileWithBlanksOnlyOnce) {
  EXPECT_EQ(ComposeCommandLine("C:\\Program Files\\App\\app.exe", ""),
            "\"C:\\Program Files\\App\\app.exe\"");
  EXPECT_EQ(ComposeCommandLine("C:\\Apps\\tab\there.exe", "-x"), "\"C:\\Apps\\tab\there.exe\" -x");
  // An administrator who quoted the path already gets it as written.
  EXPECT_EQ(ComposeCommandLine("\"C:\\Program Files\\app.exe\"", "-x"),
            "\"C:\\Program Files\\app.exe\" -x");
  EXPECT_EQ(ComposeCommandLine("C:\\Apps\\app.exe", ""), "C:\\Apps\\app.exe");
}

TEST(ComposeCommandLine, PassesArgumentsVerbatimAfterOneBlank) {
  EXPECT_EQ(ComposeCommandLine("java.exe", "-Xmx64m -cp \"a b.jar\" Main  \"x\\\"y\""),
            "java.exe -Xmx64m -cp \"a b.jar\" Main  \"x\\\"y\"");
  EXPECT_EQ(ComposeCommandLine("C:\\A B\\p.exe", " lead"), "\"C:\\A B\\p.exe\"  lead");
}

TEST(ChooseWorkingDirectory, PrefersTheDirectoryValue) {
  EXPECT_EQ(ChooseWorkingDirectory("C:\\Apps\\app.exe", "D:\\Data"), "D:\\Data");
}

TEST(ChooseWorkingDirectory, FallsBackToTheRunfilesFolder) {
  EXPECT_EQ(ChooseWorkingDirectory("C:\\Apps\\Sub\\app.exe", ""), "C:\\Apps\\Sub");
  EXPECT_EQ(ChooseWorkingDirectory("\"C:\\Program Files\\app.exe\"", ""), "C:\\Program Files");
  EXPECT_EQ(ChooseWorkingDirectory("C:/Apps/app.exe", ""), "C:/Apps");
  EXPECT_EQ(ChooseWorkingDirectory("\\\\server\\share\\app.exe", ""), "\\\\server\\share");
  // A root keeps its separator: "C:" alone would mean the drive's current folder.
  EXPECT_EQ(ChooseWorkingDirectory("C:\\app.exe", ""), "C:\\");
  EXPECT_EQ(ChooseWorkingDirectory("\\app.exe", ""), "\\");
}

TEST(ChooseWorkingDirectory, NamesNoFolderForABareFileName) {
  // Found through the search path; the runner's own folder stays.
  EXPECT_EQ(ChooseWorkingDirectory("java.exe", ""), "");
  EXPECT_EQ(ChooseWorkingDirectory("C:app.exe", ""), "");
}

}  // namespace
}  // namespace qm::runner
