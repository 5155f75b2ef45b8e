#include "runner/core/program_environment.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace qm::runner {
namespace {

// A block of the given variables, each ending in NUL, closed by another NUL.
std::string Block(std::initializer_list<const char*> variables) {
  std::string strBlock;
  for (const char* psz : variables) {
    strBlock += psz;
    strBlock += '\0';
  }
  strBlock += '\0';
  return strBlock;
}

TEST(ProgramEnvironment, ExpandsDefinedNamesAndLeavesTheRest) {
  EnvironmentVariables variables = {"Home=C:\\h", "EMPTYISH=x", "=C:=C:\\d"};
  struct Case {
    const char* pszText;
    const char* pszExpected;
  } const cases[] = {
      {"%HOME%\\bin", "C:\\h\\bin"},  // names ignore case
      {"%home%;%Home%", "C:\\h;C:\\h"},
      {"%UNDEFINED%", "%UNDEFINED%"},
      {"50% of %HOME%", "50% of C:\\h"},  // the unmatched % lets the next one open a name
      {"100%", "100%"},
      {"%%", "%%"},
      {"%=C:%", "C:\\d"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExpandVariables(c.pszText, variables), c.pszExpected) << c.pszText;
  }
}

TEST(ProgramEnvironment, EntriesSetExpandAndRemoveInOrder) {
  EnvironmentVariables variables = {"PATH=C:\\w", "TEMP=C:\\t", "=C:=C:\\"};
  ApplyEnvironmentEntries(variables, {"APP_HOME=D:\\app", "Path=%APP_HOME%\\bin;%PATH%",
                                      "temp=", "LATE=%LATER%", "LATER=1", "SELF=a=b"});
  EXPECT_EQ(ComposeEnvironmentBlock(variables),
            Block({"=C:=C:\\", "APP_HOME=D:\\app", "LATE=%LATER%", "LATER=1",
                   "Path=D:\\app\\bin;C:\\w", "SELF=a=b"}));
  // Removing what is not there changes nothing.
  ApplyEnvironmentEntries(variables, {"NOPE="});
  EXPECT_EQ(variables.size(), 6u);
}

TEST(ProgramEnvironment, TheBlockRoundTripsAndIsSortedIgnoringCase) {
  std::string strBlock = ComposeEnvironmentBlock({"b=2", "A=1", "_X=3", "a2=4"});
  EXPECT_EQ(strBlock, Block({"A=1", "a2=4", "b=2", "_X=3"}));
  EXPECT_EQ(ParseEnvironmentBlock(strBlock.c_str()),
            (EnvironmentVariables{"A=1", "a2=4", "b=2", "_X=3"}));
  // An empty environment is still a well-formed block.
  EXPECT_EQ(ComposeEnvironmentBlock({}), std::string("\0\0", 2));
  EXPECT_TRUE(ParseEnvironmentBlock(nullptr).empty());
}

}  // namespace
}  // namespace qm::runner
