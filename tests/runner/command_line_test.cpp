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

TEST(SplitCommandLine, TakesTheProgramAsCreatingAProcessWould) {
  const struct {
    const char* pszLine;
    const char* pszProgram;
    const char* pszArguments;
  } kCases[] = {
      {"check.cmd", "check.cmd", ""},
      {"  curl.exe -f  http://x/ ", "curl.exe", "-f  http://x/ "},
      {"\"C:\\Program Files\\App\\check.exe\" -q \"a b\"", "C:\\Program Files\\App\\check.exe",
       "-q \"a b\""},
      {"\"C:\\No End", "C:\\No End", ""},
      {"   ", "", ""},
  };
  for (const auto& c : kCases) {
    const CommandParts parts = SplitCommandLine(c.pszLine);
    EXPECT_EQ(parts.strProgram, c.pszProgram) << c.pszLine;
    EXPECT_EQ(parts.strArguments, c.pszArguments) << c.pszLine;
  }
}

TEST(PathFrom, ARelativePathIsTheServicesFolders) {
  EXPECT_EQ(PathFrom("C:\\App", "run\\app.pid"), "C:\\App\\run\\app.pid");
  EXPECT_EQ(PathFrom("C:\\", "app.pid"), "C:\\app.pid");
  EXPECT_EQ(PathFrom("C:\\App", "D:\\run\\app.pid"), "D:\\run\\app.pid");
  EXPECT_EQ(PathFrom("C:\\App", "\\\\server\\share\\ready"), "\\\\server\\share\\ready");
  EXPECT_EQ(PathFrom("", "app.pid"), "app.pid");
}

}  // namespace
}  // namespace qm::runner
