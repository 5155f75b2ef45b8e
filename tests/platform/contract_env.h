#pragma once
// What the seam contract suite runs against: natively the fake, under Wine the real system.
// The same test source is built against each, so the fake cannot drift from the system.

#include <memory>
#include <string>

#include "platform/account_rights.h"
#include "platform/platform.h"

namespace qm::platform::test {

class IContractEnv {
 public:
  virtual ~IContractEnv() = default;
  virtual ServicePlatform& Platform() = 0;
  virtual IAccountRights& Rights() = 0;
  // Whether the system is Wine, whose manager and security policy keep less than Windows'.
  virtual bool IsWine() = 0;
  // A suffix no other run uses at the same time (names live in a shared database).
  virtual std::string UniqueSuffix() = 0;
  // Clean-up outside the seam: a key tree under HKEY_LOCAL_MACHINE, a service by name.
  virtual void DeleteKeyTree(const std::string& strPath) = 0;
  virtual void DeleteServiceNamed(const std::string& strName) = 0;
};

std::unique_ptr<IContractEnv> MakeContractEnv();

}  // namespace qm::platform::test
