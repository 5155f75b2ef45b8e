#pragma once
// What a ReadyCheck or HealthCheck value asks the runner to look at, parsed once: a port that
// accepts a connection, a URL that answers 2xx, a file or a named pipe that exists, a line of
// the program's output, the program's own word through the notify pipe, or (health) a command
// that exits 0. Set (cli) and the runner judge a value with this one parser.

#include <cstdint>
#include <string>
#include <string_view>

namespace qm::runner {

enum class ProbeKind { kNone, kTcp, kHttp, kFile, kPipe, kOutput, kNotify, kExec };

struct ProbeTarget {
  ProbeKind kind = ProbeKind::kNone;
  std::string strHost;      // kTcp, kHttp: a name or an address (IPv6 without brackets)
  std::uint16_t wPort = 0;  // kTcp, kHttp
  bool bSecure = false;     // kHttp: https
  // kHttp: the path and query ("/" at least); kFile: the path; kPipe: the name after
  // \\.\pipe\; kOutput: the text a line must hold; kExec: the command line.
  std::string strTarget;

  bool operator==(const ProbeTarget&) const = default;
};

// The host a tcp: check without one connects to.
inline constexpr const char* kDefaultProbeHost = "127.0.0.1";

// Parses a check value; an empty value is no check (kNone). False with why it is refused, as a
// phrase that follows the value ("names port 0; a port is 1 to 65535"). exec: is taken only
// for a health check (bHealth).
bool ParseProbeTarget(std::string_view text, bool bHealth, ProbeTarget* pProbe, std::string* pWhy);

// The check as events and status name it: "tcp:127.0.0.1:8080", "http://localhost:8080/health",
// "file:C:\\run\\app.pid", "pipe:app", "output:Started", "notify", "exec:check.cmd".
std::string DescribeProbe(const ProbeTarget& target);

// Kinds that the runner does not probe but hears from the program (a line of its output, a
// line on the notify pipe).
constexpr bool IsPassiveProbe(ProbeKind kind) {
  return kind == ProbeKind::kOutput || kind == ProbeKind::kNotify;
}

}  // namespace qm::runner
