#pragma once
// The local security policy's account rights (advapi32's LSA), as setting a service's account
// needs them: the account's SID, the rights it holds, and "Log on as a service" added. The
// Win32 implementation forwards each call to the API of the same name; the tests script a fake.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

#undef LookupAccountName

namespace qm::platform {

// SECURITY_MAX_SID_SIZE.
inline constexpr std::size_t kMaxSidBytes = 68;
struct Sid {
  unsigned char bytes[kMaxSidBytes] = {};
  std::uint32_t cb = 0;
};

// LsaOpenPolicy's access: look accounts up, and give one a right it did not hold.
constexpr std::uint32_t kPolicyCreateAccount = 0x10;
constexpr std::uint32_t kPolicyLookupNames = 0x800;
// NTSTATUS values the decisions compare.
using NtStatus = std::int32_t;
constexpr NtStatus kStatusSuccess = 0;
// An account that holds no right at all of its own.
constexpr NtStatus kStatusObjectNameNotFound = static_cast<NtStatus>(0xC0000034u);

inline constexpr const char* kServiceLogonRight = "SeServiceLogonRight";

class IAccountRights {
 public:
  virtual ~IAccountRights() = default;
  // LookupAccountNameA on this machine; false with the last error set.
  virtual bool LookupAccountName(const char* account, Sid* sid) = 0;
  // LsaOpenPolicy on this machine; on success *policy is open.
  virtual NtStatus LsaOpenPolicy(std::uint32_t access, Handle* policy) = 0;
  // LsaEnumerateAccountRights: the rights given to the account itself (not through a group).
  virtual NtStatus LsaEnumerateAccountRights(Handle policy, const Sid& sid,
                                             std::vector<std::string>* rights) = 0;
  virtual NtStatus LsaAddAccountRights(Handle policy, const Sid& sid, const char* right) = 0;
  virtual NtStatus LsaClose(Handle policy) = 0;
  virtual std::uint32_t LsaNtStatusToWinError(NtStatus status) = 0;
};

}  // namespace qm::platform
