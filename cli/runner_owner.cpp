#include "cli/runner_owner.h"
#include "cli/service_words.h"

#include "common/ascii_case.h"
#include "contract/runner_contract.h"

namespace qm::cli {

namespace {

constexpr const char* kLocalSystemSid = "S-1-5-18";
constexpr const char* kAdministratorsSid = "S-1-5-32-544";

}  // namespace

std::vector<std::string> RunnerAccountNames(const RunnerAccount& account) {
  std::string_view name = account.strAccount;
  std::string strName;
  if (name.empty() || EqualsIgnoringCase(name, kLocalSystem) ||
      EqualsIgnoringCase(name, ".\\LocalSystem")) {
    strName = "NT AUTHORITY\\SYSTEM";
  } else if (name.size() > 2 && name.substr(0, 2) == ".\\") {
    strName = name.substr(2);
  } else {
    strName = name;
  }
  return {strName, kVirtualAccountPrefix + account.strService};
}

bool IsRunnersOwner(std::string_view ownerSid, const std::vector<std::string>& runnerSids) {
  if (ownerSid.empty()) return false;
  if (EqualsIgnoringCase(ownerSid, kLocalSystemSid) ||
      EqualsIgnoringCase(ownerSid, kAdministratorsSid)) {
    return true;
  }
  for (const std::string& strSid : runnerSids) {
    if (EqualsIgnoringCase(ownerSid, strSid)) return true;
  }
  return false;
}

}  // namespace qm::cli
