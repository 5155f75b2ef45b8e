#include "cli/outcome_line.h"

#include "cli/exit_codes.h"

namespace qm::cli {

int ReportOutcome(CommandContext& context, const svc::CommandOutcome& outcome) {
  if (outcome.Succeeded()) {
    context.console.Out(OneLine(outcome.strText));
    return kExitOk;
  }
  context.console.Err(OneLine(outcome.strText));
  return kExitFailure;
}

}  // namespace qm::cli
