#include "runner/core/program_file.h"

#include <gtest/gtest.h>

namespace qm::runner {
namespace {

TEST(RunfileKind, BareNamesHaveNoFolderOrDriveAndBatchFilesEndInBatOrCmd) {
  const struct {
    const char* pszRunfile;
    bool bBare;
    bool bBatch;
  } cases[] = {
      {"java.exe", true, false},           {"\"node\"", true, false},
      {"C:\\Apps\\app.exe", false, false}, {"bin\\app.exe", false, false},
      {"C:app.exe", false, false},         {"./app.exe", false, false},
      {"\\\\srv\\s\\a.exe", false, false}, {"\"C:\\P F\\a.exe\"", false, false},
      {"C:\\a\\run.bat", false, true},     {"\"C:\\a b\\Run.CMD\"", false, true},
      {"C:\\a\\cmd", false, false},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(IsBareFileName(test.pszRunfile), test.bBare) << test.pszRunfile;
    EXPECT_EQ(IsBatchFile(test.pszRunfile), test.bBatch) << test.pszRunfile;
  }
}

// Relative entries would depend on the runner's current folder; empty ones mean it too. A name
// without an extension is an exe.
TEST(SearchPathCandidates, AbsoluteFoldersOfThePathInOrder) {
  EXPECT_EQ(SearchPathCandidates("java.exe",
                                 "C:\\Windows\\system32;;.;bin;\\tools;C:tools; \"C:\\Program "
                                 "Files\\Java\\bin\" ;D:/jdk/bin/;\\\\srv\\share\\bin"),
            (std::vector<std::string>{"C:\\Windows\\system32\\java.exe",
                                      "C:\\Program Files\\Java\\bin\\java.exe",
                                      "D:/jdk/bin/java.exe", "\\\\srv\\share\\bin\\java.exe"}));
  EXPECT_TRUE(SearchPathCandidates("java.exe", "").empty());
  EXPECT_EQ(SearchPathCandidates("\"node\"", "C:\\n"),
            (std::vector<std::string>{"C:\\n\\node.exe"}));
  EXPECT_EQ(SearchPathCandidates("run.cmd", "C:\\n"), (std::vector<std::string>{"C:\\n\\run.cmd"}));
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
