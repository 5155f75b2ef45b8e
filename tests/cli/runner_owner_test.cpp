// Whose record status believes: the accounts a runner goes by, and the owners it accepts.

#include "cli/runner_owner.h"

#include <gtest/gtest.h>

namespace qm::cli {
namespace {

TEST(RunnerOwnerTest, TheRunnerGoesByItsAccountAndItsServiceSid) {
  const struct {
    const char* pszAccount;
    const char* pszLookedUp;
  } kCases[] = {
      {"LocalSystem", "NT AUTHORITY\\SYSTEM"},
      {"localsystem", "NT AUTHORITY\\SYSTEM"},
      {"", "NT AUTHORITY\\SYSTEM"},  // unread: the manager's default
      {"NT AUTHORITY\\LocalService", "NT AUTHORITY\\LocalService"},
      {".\\alice", "alice"},
      {"CORP\\bob", "CORP\\bob"},
      {"NT SERVICE\\Svc", "NT SERVICE\\Svc"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(RunnerAccountNames({"Svc", c.pszAccount}),
              (std::vector<std::string>{c.pszLookedUp, "NT SERVICE\\Svc"}))
        << c.pszAccount;
  }
}

TEST(RunnerOwnerTest, OnlyTheRunnersAccountTheSystemOrTheAdministratorsOwnItsRecord) {
  const std::vector<std::string> localService = {"S-1-5-19", "S-1-5-80-1-2-3-4-5"};
  const struct {
    const char* pszOwner;
    std::vector<std::string> runnerSids;
    bool bTrusted;
  } kCases[] = {
      {"S-1-5-18", {}, true},            // LocalSystem
      {"S-1-5-32-544", {}, true},        // Administrators
      {"S-1-5-19", localService, true},  // the account it runs as
      {"S-1-5-80-1-2-3-4-5", localService, true},
      {"s-1-5-19", localService, true},
      {"S-1-5-20", localService, false},  // another service's account
      {"S-1-5-19", {"S-1-5-18"}, false},
      {"S-1-5-21-7-8-9-1001", {"S-1-5-21-7-8-9-1000"}, false},  // another user
      {"S-1-5-32-545", localService, false},                    // Users
      {"", localService, false},                                // no owner at all
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(IsRunnersOwner(c.pszOwner, c.runnerSids), c.bTrusted) << c.pszOwner;
  }
}

}  // namespace
}  // namespace qm::cli
