#pragma once
// "Log on as a service" for the account a service is set to run under: without it a user's
// account is refused only at the service's next start, with error 1069. Given through the local
// security policy (platform/account_rights.h); what happened is told, never a failure of the
// change itself.

#include <cstdint>
#include <string>

#include "platform/account_rights.h"

namespace qm::cli {

enum class LogonRight { kGranted, kAlreadyHeld, kFailed };

struct LogonRightOutcome {
  LogonRight result = LogonRight::kFailed;
  const char* pszStep = "";   // kFailed: what could not be done ("find the account")
  std::uint32_t dwError = 0;  // kFailed: the system's error
};

// Gives the account (as the manager stores it) the right unless it holds it already.
LogonRightOutcome GrantServiceLogon(platform::IAccountRights& rights, platform::ISystem& system,
                                    const std::string& strAccount);

}  // namespace qm::cli
