#pragma once
// What the runner reads from its service's Parameters key, and the checks it makes before it
// starts anything.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/runner_contract.h"
#include "runner/core/output_settings.h"
#include "runner/core/run_settings.h"

namespace qm::runner {

using contract::kDefaultStopTimeoutMs;
using contract::kMaxStopTimeoutMs;
using contract::ParametersKeyPath;
// The system's limit for a process command line, in characters including the NUL.
constexpr std::size_t kMaxCommandLine = 32767;

struct RunParameters {
  std::string strRunfile;
  std::string strArguments;
  std::string strDirectory;
  std::uint32_t dwStopTimeoutMs = kDefaultStopTimeoutMs;
  std::string strStdout;  // empty: output discarded
  std::string strStderr;
  OutputSettings output;  // rotation and timestamps of those files
  // Restart policy, environment and priority, as stored; checked by MakeRunSettings.
  RunSettingValues settings;
};

enum class ParameterProblem {
  kNone,
  kEmptyRunfile,        // nothing to start
  kQuoteInRunfile,      // a quote inside a file name cannot be passed on a command line
  kCommandLineTooLong,  // the Runfile and Arguments exceed the system's command line
  kStopTimeoutTooLong   // above kMaxStopTimeoutMs
};

ParameterProblem CheckParameters(const RunParameters& params);

// A short English description of a problem, for the event log.
const char* DescribeProblem(ParameterProblem problem);

}  // namespace qm::runner
