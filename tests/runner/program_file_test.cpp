#include "runner/core/program_file.h"

#include <gtest/gtest.h>

namespace qm::runner {
namespace {

TEST(IsBareFileName, OnlyANameWithoutFolderOrDrive) {
  const struct {
    const char* pszRunfile;
    bool bBare;
  } cases[] = {
      {"java.exe", true},           {"\"node\"", true},
      {"C:\\Apps\\app.exe", false}, {"bin\\app.exe", false},
      {"C:app.exe", false},         {"./app.exe", false},
      {"\\\\srv\\s\\a.exe", false}, {"\"C:\\P F\\a.exe\"", false},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(IsBareFileName(test.pszRunfile), test.bBare) << test.pszRunfile;
  }
}

TEST(SearchPathCandidates, AbsoluteFoldersOfThePathInOrder) {
  // Relative entries would depend on the runner's current folder; empty ones mean it too.
  EXPECT_EQ(SearchPathCandidates("java.exe",
                                 "C:\\Windows\\system32;;.;bin;\\tools;C:tools; \"C:\\Program "
                                 "Files\\Java\\bin\" ;D:/jdk/bin/;\\\\srv\\share\\bin"),
            (std::vector<std::string>{"C:\\Windows\\system32\\java.exe",
                                      "C:\\Program Files\\Java\\bin\\java.exe",
                                      "D:/jdk/bin/java.exe", "\\\\srv\\share\\bin\\java.exe"}));
  EXPECT_TRUE(SearchPathCandidates("java.exe", "").empty());
}

TEST(SearchPathCandidates, ANameWithoutExtensionIsAnExe) {
  EXPECT_EQ(SearchPathCandidates("\"node\"", "C:\\n"),
            (std::vector<std::string>{"C:\\n\\node.exe"}));
  EXPECT_EQ(SearchPathCandidates("run.cmd", "C:\\n"), (std::vector<std::string>{"C:\\n\\run.cmd"}));
}

TEST(IsBatchFile, BatAndCmdInAnyCase) {
  EXPECT_TRUE(IsBatchFile("C:\\a\\run.bat"));
  EXPECT_TRUE(IsBatchFile("\"C:\\a b\\Run.CMD\""));
  EXPECT_FALSE(IsBatchFile("C:\\a\\run.exe"));
  EXPECT_FALSE(IsBatchFile("C:\\a\\cmd"));
}

TEST(ComposeBatchCommandLine, QuotesTheFileAndKeepsTheArgumentsInsideTheOuterQuotes) {
  EXPECT_EQ(
      ComposeBatchCommandLine("C:\\Windows\\system32\\cmd.exe", "C:\\a b\\r&d.cmd", "-x \"y z\""),
      "\"C:\\Windows\\system32\\cmd.exe\" /d /s /c \"\"C:\\a b\\r&d.cmd\" -x \"y z\"\"");
  EXPECT_EQ(ComposeBatchCommandLine("C:\\cmd.exe", "\"C:\\r.bat\"", ""),
            "\"C:\\cmd.exe\" /d /s /c \"\"C:\\r.bat\"\"");
}

}  // namespace
}  // namespace qm::runner
