#include "runner/core/run_parameters.h"

#include "runner/core/command_line.h"

namespace qm::runner {

ParameterProblem CheckParameters(const RunParameters& params) {
  std::string_view file = UnquotedRunfile(params.strRunfile);
  if (file.find_first_not_of(" \t") == std::string_view::npos) {
    return ParameterProblem::kEmptyRunfile;
  }
  if (contract::RunfileHasQuoteInName(params.strRunfile)) return ParameterProblem::kQuoteInRunfile;
  if (ComposeCommandLine(params.strRunfile, params.strArguments).size() >= kMaxCommandLine) {
    return ParameterProblem::kCommandLineTooLong;
  }
  if (params.dwStopTimeoutMs > kMaxStopTimeoutMs) return ParameterProblem::kStopTimeoutTooLong;
  return ParameterProblem::kNone;
}

static_assert(kMaxStopTimeoutMs == 600000, "the description below names the ceiling");

const char* DescribeProblem(ParameterProblem problem) {
  switch (problem) {
    case ParameterProblem::kNone:
      return "no problem";
    case ParameterProblem::kEmptyRunfile:
      return "the Runfile value is empty";
    case ParameterProblem::kQuoteInRunfile:
      return "the Runfile value holds a quote inside the file name";
    case ParameterProblem::kCommandLineTooLong:
      return "the Runfile and Arguments values are longer than a command line may be";
    case ParameterProblem::kStopTimeoutTooLong:
      return "the StopTimeout value is above 600000 (ten minutes)";
  }
  return "unknown problem";
}

}  // namespace qm::runner
