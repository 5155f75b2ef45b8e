#pragma once
// Owners for the handles that the service seam gives out. Closing a handle keeps the last
// error, so an error text taken after a scope ends still names the call that failed.

#include "common/unique_any.h"
#include "platform/account_rights.h"
#include "platform/platform.h"

namespace qm::platform {

struct SeamKeyTraits {
  using type = Handle;
  IRegistry* pRegistry = nullptr;
  ISystem* pSystem = nullptr;
  static type invalid() { return kNoHandle; }
  void close(type h) const {
    const std::uint32_t dwError = pSystem->GetLastError();
    pRegistry->CloseKey(h);
    pSystem->SetLastError(dwError);
  }
};

struct SeamScHandleTraits {
  using type = Handle;
  IServiceManager* pScm = nullptr;
  ISystem* pSystem = nullptr;
  static type invalid() { return kNoHandle; }
  void close(type h) const {
    const std::uint32_t dwError = pSystem->GetLastError();
    pScm->CloseServiceHandle(h);
    pSystem->SetLastError(dwError);
  }
};

// A memory block of ISystem::GlobalAlloc.
struct SeamBlockTraits {
  using type = void*;
  ISystem* pSystem = nullptr;
  static type invalid() { return nullptr; }
  void close(type p) const {
    const std::uint32_t dwError = pSystem->GetLastError();
    pSystem->GlobalFree(p);
    pSystem->SetLastError(dwError);
  }
};

// A policy handle of IAccountRights::LsaOpenPolicy (its close sets no last error).
struct SeamPolicyTraits {
  using type = Handle;
  IAccountRights* pRights = nullptr;
  static type invalid() { return kNoHandle; }
  void close(type h) const { pRights->LsaClose(h); }
};

using CRegKey = unique_any<SeamKeyTraits>;
using CScHandle = unique_any<SeamScHandleTraits>;
using CGlobalBlock = unique_any<SeamBlockTraits>;
using CPolicyHandle = unique_any<SeamPolicyTraits>;

inline CRegKey OwnKey(IRegistry& registry, ISystem& system, Handle hKey) {
  return CRegKey(hKey, SeamKeyTraits{&registry, &system});
}
inline CScHandle OwnScHandle(IServiceManager& scm, ISystem& system, Handle h) {
  return CScHandle(h, SeamScHandleTraits{&scm, &system});
}
inline CPolicyHandle OwnPolicy(IAccountRights& rights, Handle h) {
  return CPolicyHandle(h, SeamPolicyTraits{&rights});
}
// A new block of the given size, or an empty owner when the system has no memory for it.
inline CGlobalBlock AllocGlobalBlock(ISystem& system, std::size_t bytes) {
  return CGlobalBlock(system.GlobalAlloc(bytes), SeamBlockTraits{&system});
}

}  // namespace qm::platform
