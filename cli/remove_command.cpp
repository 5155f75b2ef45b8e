// remove: the window's own Remove, its second question answered by --force; its outcome
// printed as one line, with the exit code it means.

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/force_confirm.h"
#include "cli/outcome_line.h"

namespace qm::cli {

int RunRemove(CommandContext& context, const ParsedCommand& cmd) {
  CForceConfirm confirm(cmd.bForce);
  svc::RemoveRequest request;
  request.strServiceName = cmd.strName;
  const svc::CommandOutcome outcome = context.commands.Remove(request, confirm);
  if (outcome.refusal == svc::Refusal::kNotReconfirmed) {
    return Fail(context,
                "The service was not installed by Quillmont, or it is disabled or a driver: not "
                "removed. Add --force to remove it all the same.");
  }
  // Where the window says nothing more (the service would not open), the reason is told.
  if (outcome.strText.empty()) {
    return Fail(context, cmd.strName + " was NOT removed. " + ErrorText(context, outcome.dwError));
  }
  return ReportOutcome(context, outcome);
}

}  // namespace qm::cli
