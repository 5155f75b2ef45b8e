#pragma once
// What an account a service runs under asks of the one who sets it: a password or none, and
// the right to log on as a service or not. Names are taken as the system stores them
// (cli/settings.h's AccountName).

#include <string>
#include <string_view>

namespace qm::cli {

enum class AccountKind {
  kBuiltIn,  // LocalSystem, LocalService, NetworkService: no password, every right
  kVirtual,  // NT SERVICE\<name>: no password; the manager makes it at the start
  kManaged,  // DOMAIN\name$, a (group) managed service account: no password (the domain's)
  kUser,     // any other: its password, and the right to log on as a service
};

AccountKind KindOfAccount(std::string_view account);
inline bool AccountNeedsPassword(std::string_view account) {
  return KindOfAccount(account) == AccountKind::kUser;
}
// Whether the account must hold "Log on as a service" itself: users and managed accounts (a
// virtual account holds it through NT SERVICE\ALL SERVICES).
inline bool AccountNeedsLogonRight(std::string_view account) {
  const AccountKind kind = KindOfAccount(account);
  return kind == AccountKind::kUser || kind == AccountKind::kManaged;
}
// The name the security policy looks an account up by: ".\alice" (the manager's way of saying
// this machine) as "alice", which finds the local account first.
std::string LookupName(std::string_view account);

}  // namespace qm::cli
