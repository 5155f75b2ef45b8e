#include "cli/recovery_list.h"

#include "cli/settings.h"
#include "common/ascii_case.h"

namespace qm::cli {

namespace {

// The words in the order of the action types they stand for.
constexpr const char* kActionWords[] = {"none", "restart", "reboot", "run"};

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool Refuse(std::string* error, std::string strText) {
  *error = std::move(strText);
  return false;
}

}  // namespace

bool ParseRecovery(std::string_view text, platform::FailureActions* actions, std::string* error) {
  *actions = platform::kNoFailureActions;
  if (EqualsIgnoringCase(Trimmed(text), kNoRecovery)) return true;
  const std::string strUsage =
      "Recovery takes none, or actions such as restart/60000,restart/60000,none (restart, run "
      "or reboot after a delay in milliseconds; one a failure in a row, the last repeated)";
  for (std::size_t nAt = 0; nAt <= text.size();) {
    const std::size_t nEnd = std::min(text.find(',', nAt), text.size());
    const std::string_view entry = Trimmed(text.substr(nAt, nEnd - nAt));
    nAt = nEnd + 1;
    const std::size_t nSlash = entry.find('/');
    const std::string_view word = entry.substr(0, nSlash);
    std::uint32_t dwType = 0;
    while (dwType < std::size(kActionWords) && !EqualsIgnoringCase(word, kActionWords[dwType])) {
      ++dwType;
    }
    std::uint32_t dwDelay = 0;
    const bool bDelayOk = nSlash == std::string_view::npos
                              ? dwType == platform::kScActionNone  // only "none" needs no delay
                              : ParseDword(entry.substr(nSlash + 1), &dwDelay);
    if (dwType == std::size(kActionWords) || !bDelayOk) {
      return Refuse(error, strUsage + ", not \"" + std::string(entry) + "\"");
    }
    if (actions->count == platform::kMaxFailureActions) {
      return Refuse(error, "Recovery takes at most " +
                               std::to_string(platform::kMaxFailureActions) + " actions");
    }
    actions->actions[actions->count++] = {dwType, dwDelay};
  }
  return true;
}

std::string RecoveryText(const platform::FailureActions& actions) {
  if (actions.count == 0) return kNoRecovery;
  std::string strText;
  for (std::uint32_t i = 0; i < actions.count && i < platform::kMaxFailureActions; ++i) {
    const platform::FailureAction& action = actions.actions[i];
    if (!strText.empty()) strText.push_back(',');
    // A type this system does not name is shown by its number, which no set takes.
    strText += action.type < std::size(kActionWords) ? kActionWords[action.type]
                                                     : std::to_string(action.type);
    if (action.type != platform::kScActionNone || action.delayMs != 0) {
      strText += "/" + std::to_string(action.delayMs);
    }
  }
  return strText;
}

bool HasReboot(const platform::FailureActions& actions) {
  for (std::uint32_t i = 0; i < actions.count && i < platform::kMaxFailureActions; ++i) {
    if (actions.actions[i].type == platform::kScActionReboot) return true;
  }
  return false;
}

}  // namespace qm::cli
