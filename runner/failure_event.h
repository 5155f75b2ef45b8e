#pragma once
// The one event-log entry that says why the runner could not run the program.

#include <string>

#include "runner/core/runner_failure.h"

namespace qm::runner {

void WriteFailureEvent(const std::string& strServiceName, const RunnerFailure& failure);

}  // namespace qm::runner
