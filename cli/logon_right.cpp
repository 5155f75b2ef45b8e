#include "cli/logon_right.h"

#include "cli/service_account.h"
#include "common/ascii_case.h"
#include "platform/platform_handles.h"

namespace qm::cli {

LogonRightOutcome GrantServiceLogon(platform::IAccountRights& rights, platform::ISystem& system,
                                    const std::string& strAccount) {
  const auto failed = [](const char* pszStep, std::uint32_t dwError) {
    return LogonRightOutcome{LogonRight::kFailed, pszStep, dwError};
  };
  platform::Sid sid;
  if (!rights.LookupAccountName(LookupName(strAccount).c_str(), &sid)) {
    return failed("find the account", system.GetLastError());
  }
  platform::Handle hRaw = platform::kNoHandle;
  const platform::NtStatus openStatus =
      rights.LsaOpenPolicy(platform::kPolicyLookupNames | platform::kPolicyCreateAccount, &hRaw);
  if (openStatus != platform::kStatusSuccess) {
    return failed("open the local security policy", rights.LsaNtStatusToWinError(openStatus));
  }
  const platform::CPolicyHandle policy = platform::OwnPolicy(rights, hRaw);
  // An account that holds no right of its own is not found; one that cannot be read is given
  // the right all the same (giving it twice does no harm).
  std::vector<std::string> held;
  if (rights.LsaEnumerateAccountRights(policy.get(), sid, &held) == platform::kStatusSuccess) {
    for (const std::string& strRight : held) {
      if (EqualsIgnoringCase(strRight, platform::kServiceLogonRight)) {
        return {LogonRight::kAlreadyHeld, "", 0};
      }
    }
  }
  const platform::NtStatus addStatus =
      rights.LsaAddAccountRights(policy.get(), sid, platform::kServiceLogonRight);
  if (addStatus != platform::kStatusSuccess) {
    return failed("grant it", rights.LsaNtStatusToWinError(addStatus));
  }
  return {LogonRight::kGranted, "", 0};
}

}  // namespace qm::cli
