// The syntax of ReadyCheck and HealthCheck, as the runner and set judge it, and the name the
// events and status give each check.
#include "runner/core/probe_target.h"

#include <gtest/gtest.h>

namespace qm::runner {
namespace {

constexpr bool kHealth = true;
constexpr bool kReady = false;

TEST(ProbeTarget, EachKindParsesToWhatItChecksAndIsNamedAsWritten) {
  const struct {
    const char* pszText;
    bool bHealth;
    ProbeTarget expected;
    const char* pszName;
  } kCases[] = {
      {"", kReady, {}, ""},
      {"tcp:8080", kReady, {ProbeKind::kTcp, "127.0.0.1", 8080, false, ""}, "tcp:127.0.0.1:8080"},
      {"TCP:db.local:5432",
       kReady,
       {ProbeKind::kTcp, "db.local", 5432, false, ""},
       "tcp:db.local:5432"},
      {"tcp:[::1]:65535", kHealth, {ProbeKind::kTcp, "::1", 65535, false, ""}, "tcp:[::1]:65535"},
      {"http://localhost:8080/health",
       kReady,
       {ProbeKind::kHttp, "localhost", 8080, false, "/health"},
       "http://localhost:8080/health"},
      {"https://app.example.com/ready?deep=1",
       kHealth,
       {ProbeKind::kHttp, "app.example.com", 443, true, "/ready?deep=1"},
       "https://app.example.com/ready?deep=1"},
      {"HTTP://127.0.0.1",
       kReady,
       {ProbeKind::kHttp, "127.0.0.1", 80, false, "/"},
       "http://127.0.0.1/"},
      {"http://[::1]:81?x",
       kReady,
       {ProbeKind::kHttp, "::1", 81, false, "/?x"},
       "http://[::1]:81/?x"},
      {"file:C:\\run\\app.pid",
       kReady,
       {ProbeKind::kFile, "", 0, false, "C:\\run\\app.pid"},
       "file:C:\\run\\app.pid"},
      {"pipe:app", kReady, {ProbeKind::kPipe, "", 0, false, "app"}, "pipe:app"},
      {"pipe:\\\\.\\pipe\\app\\ctl",
       kHealth,
       {ProbeKind::kPipe, "", 0, false, "app\\ctl"},
       "pipe:app\\ctl"},
      {"output:Started on port 8080",
       kReady,
       {ProbeKind::kOutput, "", 0, false, "Started on port 8080"},
       "output:Started on port 8080"},
      {"Notify", kHealth, {ProbeKind::kNotify, "", 0, false, ""}, "notify"},
      {"exec:\"C:\\Tools\\check.exe\" -q",
       kHealth,
       {ProbeKind::kExec, "", 0, false, "\"C:\\Tools\\check.exe\" -q"},
       "exec:\"C:\\Tools\\check.exe\" -q"},
  };
  for (const auto& c : kCases) {
    ProbeTarget target;
    std::string strWhy;
    ASSERT_TRUE(ParseProbeTarget(c.pszText, c.bHealth, &target, &strWhy))
        << c.pszText << ": " << strWhy;
    EXPECT_EQ(target, c.expected) << c.pszText;
    EXPECT_EQ(DescribeProbe(target), c.pszName) << c.pszText;
  }
}

TEST(ProbeTarget, ACheckTheRunnerCannotMakeIsRefusedSayingWhy) {
  const struct {
    const char* pszText;
    bool bHealth;
    const char* pszWhy;  // a part of the reason
  } kCases[] = {
      {"tcp:0", kReady, "port 0; a port is 1 to 65535"},
      {"tcp:65536", kHealth, "port 65536"},
      {"tcp:localhost", kReady, "has no port"},
      {"tcp::8080", kReady, "names no host"},
      {"tcp:host:80x", kReady, "\"80x\" where a port number belongs"},
      {"tcp:[::1:80", kReady, "without its \"]\""},
      {"http://:8080/", kReady, "names no host"},
      {"http://localhost:0/", kHealth, "port 0"},
      {"https://user@host/", kReady, "no host can be called"},
      {"http://localhost/a b", kReady, "blank"},
      {"http://localhost/#top", kReady, "fragment"},
      {"file:", kReady, "names no file"},
      {"pipe:", kReady, "names no pipe"},
      {"pipe:\\\\.\\pipe\\", kHealth, "names no pipe"},
      {"output:", kReady, "names no text"},
      {"exec:", kHealth, "names no command line"},
      {"exec:check.cmd", kReady, "is not tcp:"},  // a health check only
      {"ftp://host/", kHealth, "or exec: followed by"},
      {"8080", kReady, "is not tcp:, http://, https://, file:, pipe:, output:, notify followed"},
      {"notify:1", kReady, "is not"},
  };
  for (const auto& c : kCases) {
    ProbeTarget target{ProbeKind::kFile, "", 0, false, "untouched"};
    std::string strWhy;
    EXPECT_FALSE(ParseProbeTarget(c.pszText, c.bHealth, &target, &strWhy)) << c.pszText;
    EXPECT_NE(strWhy.find(c.pszWhy), std::string::npos) << c.pszText << ": " << strWhy;
    EXPECT_EQ(target.strTarget, "untouched") << c.pszText;
  }
}

}  // namespace
}  // namespace qm::runner
