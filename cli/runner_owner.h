#pragma once
// Whose record status and list believe. A runner publishes its record in a section named after
// its process id, but whoever may create global objects (another service, say) could take that
// name first and fill it with a made-up story; the section's owner tells who made it. The
// runner names no owner, so the system makes its token's default owner the owner: the account
// the service runs as, or a group of that account's that may own objects (Administrators).

#include <string>
#include <string_view>
#include <vector>

namespace qm::cli {

// Who a service's runner is: what its record's owner is checked against.
struct RunnerAccount {
  std::string strService;  // the service's name: its own SID is that of NT SERVICE\<name>
  std::string strAccount;  // the account the manager starts it as, as stored ("LocalSystem")
};

// The account names whose SIDs the runner goes by, as LookupAccountName knows them: its account
// (the manager's "LocalSystem" is the account SYSTEM, ".\user" a user of this computer) and its
// service's own SID.
std::vector<std::string> RunnerAccountNames(const RunnerAccount& account);

// Whether a section whose owner is ownerSid ("S-1-5-18"; empty when it has none) is the
// runner's: owned by one of runnerSids, or by the local system or the administrators, who could
// write into the runner's own memory anyway.
bool IsRunnersOwner(std::string_view ownerSid, const std::vector<std::string>& runnerSids);

}  // namespace qm::cli
