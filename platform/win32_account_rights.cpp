#include <windows.h>
// ntsecapi.h needs windows.h first.
#include <ntsecapi.h>

#include <cstring>

#include "common/ansi_text.h"
#include "platform/win32_platform.h"

namespace qm::platform {

namespace {

LSA_HANDLE ToLsa(Handle h) {
  return reinterpret_cast<LSA_HANDLE>(h);
}

PSID ToPsid(const Sid& sid) {
  return const_cast<unsigned char*>(sid.bytes);
}

}  // namespace

bool CWin32AccountRights::LookupAccountName(const char* account, Sid* sid) {
  DWORD cbSid = sizeof(sid->bytes);
  char szDomain[256];
  DWORD cchDomain = sizeof(szDomain);
  SID_NAME_USE use = SidTypeUnknown;
  if (!::LookupAccountNameA(nullptr, account, sid->bytes, &cbSid, szDomain, &cchDomain, &use)) {
    return false;
  }
  sid->cb = cbSid;
  return true;
}

NtStatus CWin32AccountRights::LsaOpenPolicy(std::uint32_t access, Handle* policy) {
  LSA_OBJECT_ATTRIBUTES attributes = {};
  LSA_HANDLE hPolicy = nullptr;
  const NTSTATUS status = ::LsaOpenPolicy(nullptr, &attributes, access, &hPolicy);
  *policy = status == 0 ? reinterpret_cast<Handle>(hPolicy) : kNoHandle;
  return status;
}

NtStatus CWin32AccountRights::LsaEnumerateAccountRights(Handle policy, const Sid& sid,
                                                        std::vector<std::string>* rights) {
  PLSA_UNICODE_STRING pRights = nullptr;
  ULONG cRights = 0;
  const NTSTATUS status =
      ::LsaEnumerateAccountRights(ToLsa(policy), ToPsid(sid), &pRights, &cRights);
  rights->clear();
  if (status != 0) return status;
  // The rights' names are ASCII.
  for (ULONG i = 0; i < cRights; ++i) {
    std::string strRight;
    for (USHORT n = 0; n < pRights[i].Length / sizeof(WCHAR); ++n) {
      strRight.push_back(static_cast<char>(pRights[i].Buffer[n]));
    }
    rights->push_back(std::move(strRight));
  }
  ::LsaFreeMemory(pRights);
  return status;
}

NtStatus CWin32AccountRights::LsaAddAccountRights(Handle policy, const Sid& sid,
                                                  const char* right) {
  std::wstring wstrRight;
  if (!WidenAnsi(right, &wstrRight)) return static_cast<NtStatus>(0xC000000Du);  // invalid
  LSA_UNICODE_STRING name = {static_cast<USHORT>(wstrRight.size() * sizeof(WCHAR)),
                             static_cast<USHORT>((wstrRight.size() + 1) * sizeof(WCHAR)),
                             wstrRight.data()};
  return ::LsaAddAccountRights(ToLsa(policy), ToPsid(sid), &name, 1);
}

NtStatus CWin32AccountRights::LsaClose(Handle policy) {
  return ::LsaClose(ToLsa(policy));
}

std::uint32_t CWin32AccountRights::LsaNtStatusToWinError(NtStatus status) {
  return ::LsaNtStatusToWinError(status);
}

}  // namespace qm::platform
