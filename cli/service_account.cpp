#include "cli/service_account.h"

#include "cli/service_words.h"
#include "common/ascii_case.h"

namespace qm::cli {

AccountKind KindOfAccount(std::string_view account) {
  if (EqualsIgnoringCase(account, kLocalSystem) || EqualsIgnoringCase(account, kLocalService) ||
      EqualsIgnoringCase(account, kNetworkService)) {
    return AccountKind::kBuiltIn;
  }
  const std::string_view virtualPrefix = kVirtualAccountPrefix;
  if (StartsWithIgnoringCase(account, virtualPrefix) && account.size() > virtualPrefix.size()) {
    return AccountKind::kVirtual;
  }
  // DOMAIN\name$: a domain and a name before the dollar. A local account (".\name$") is a
  // user's, whatever its name.
  const std::size_t nSlash = account.find('\\');
  if (nSlash != std::string_view::npos && nSlash > 0 && account.substr(0, nSlash) != "." &&
      account.size() > nSlash + 2 && account.back() == '$' &&
      account.find('\\', nSlash + 1) == std::string_view::npos) {
    return AccountKind::kManaged;
  }
  return AccountKind::kUser;
}

std::string LookupName(std::string_view account) {
  if (account.substr(0, 2) == ".\\") account.remove_prefix(2);
  return std::string(account);
}

}  // namespace qm::cli
