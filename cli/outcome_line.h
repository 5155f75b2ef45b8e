#pragma once
// An outcome of the window's Install or Remove as the command line tells it: its text on one
// line, to standard output when it succeeded and to standard error otherwise.

#include "cli/command_context.h"
#include "service/command_outcome.h"

namespace qm::cli {

// Prints the outcome; returns its exit code.
int ReportOutcome(CommandContext& context, const svc::CommandOutcome& outcome);

}  // namespace qm::cli
