#include "runner/core/run_parameters.h"

#include <gtest/gtest.h>

namespace qm::runner {
namespace {

RunParameters WithRunfile(std::string strRunfile, std::string strArguments = "") {
  RunParameters params;
  params.strRunfile = std::move(strRunfile);
  params.strArguments = std::move(strArguments);
  return params;
}

TEST(CheckParameters, AcceptsWhatTheToolWrites) {
  EXPECT_EQ(CheckParameters(WithRunfile("C:\\Program Files\\App\\app.exe", "-a \"b c\"")),
            ParameterProblem::kNone);
  EXPECT_EQ(CheckParameters(WithRunfile("\"C:\\Program Files\\app.exe\"")),
            ParameterProblem::kNone);
}

TEST(CheckParameters, RefusesARunfileThatNamesNothing) {
  EXPECT_EQ(CheckParameters(WithRunfile("")), ParameterProblem::kEmptyRunfile);
  EXPECT_EQ(CheckParameters(WithRunfile("  \t")), ParameterProblem::kEmptyRunfile);
  EXPECT_EQ(CheckParameters(WithRunfile("\"\"")), ParameterProblem::kEmptyRunfile);
}

TEST(CheckParameters, RefusesAQuoteInsideTheFileName) {
  // It would end the quoted file name early and smuggle the rest in as arguments.
  EXPECT_EQ(CheckParameters(WithRunfile("C:\\a\" b.exe")), ParameterProblem::kQuoteInRunfile);
  EXPECT_EQ(CheckParameters(WithRunfile("\"C:\\a\"b.exe\"")), ParameterProblem::kQuoteInRunfile);
}

TEST(CheckParameters, RefusesACommandLineBeyondTheSystemLimit) {
  std::string strRunfile = "C:\\a.exe";
  // The command line is the file, a blank and the arguments; it must leave room for the NUL.
  std::string strFits(kMaxCommandLine - strRunfile.size() - 2, 'x');
  EXPECT_EQ(CheckParameters(WithRunfile(strRunfile, strFits)), ParameterProblem::kNone);
  EXPECT_EQ(CheckParameters(WithRunfile(strRunfile, strFits + "x")),
            ParameterProblem::kCommandLineTooLong);
}

TEST(CheckParameters, RefusesAStopTimeoutAboveTenMinutes) {
  RunParameters params = WithRunfile("C:\\a.exe");
  EXPECT_EQ(params.dwStopTimeoutMs, 15000u);  // the default every installed service relies on
  params.dwStopTimeoutMs = 600000;
  EXPECT_EQ(CheckParameters(params), ParameterProblem::kNone);
  params.dwStopTimeoutMs = 600001;
  EXPECT_EQ(CheckParameters(params), ParameterProblem::kStopTimeoutTooLong);
  params.dwStopTimeoutMs = 0xFFFFFFFFu;
  EXPECT_EQ(CheckParameters(params), ParameterProblem::kStopTimeoutTooLong);
}

TEST(ParametersKeyPath, NamesTheServicesParametersKey) {
  EXPECT_EQ(ParametersKeyPath("MyApp"), "SYSTEM\\CurrentControlSet\\Services\\MyApp\\Parameters");
}

}  // namespace
}  // namespace qm::runner
