#include "runner/core/probe_target.h"

#include "common/ascii_case.h"

namespace qm::runner {

namespace {

constexpr std::string_view kPipePrefix = "\\\\.\\pipe\\";

bool Refuse(std::string* pWhy, std::string strWhy) {
  *pWhy = std::move(strWhy);
  return false;
}

// 1 to 65535, digits only.
bool ParsePort(std::string_view text, std::uint16_t* pwPort, std::string* pWhy) {
  std::uint32_t dwPort = 0;
  bool bDigits = !text.empty() && text.size() <= 5;
  for (char ch : text) {
    if (ch < '0' || ch > '9') bDigits = false;
    if (bDigits) dwPort = dwPort * 10 + static_cast<std::uint32_t>(ch - '0');
  }
  if (!bDigits) {
    return Refuse(pWhy, "has \"" + std::string(text) + "\" where a port number belongs");
  }
  if (dwPort == 0 || dwPort > 65535) {
    return Refuse(pWhy, "names port " + std::string(text) + "; a port is 1 to 65535");
  }
  *pwPort = static_cast<std::uint16_t>(dwPort);
  return true;
}

// Nothing a host name or address may not hold: no blanks, no control characters, none of the
// characters that end or redirect a URL's authority.
bool IsHostText(std::string_view host) {
  for (char ch : host) {
    if (static_cast<unsigned char>(ch) <= ' ' ||
        std::string_view("/\\@?#[]\"").find(ch) != std::string_view::npos) {
      return false;
    }
  }
  return !host.empty();
}

// "HOST:PORT", "[IPv6]:PORT" or, with bPortOptional, "HOST" alone.
bool ParseAuthority(std::string_view text, bool bPortOptional, ProbeTarget* pProbe,
                    std::string* pWhy) {
  std::string_view host = text;
  std::string_view port;
  bool bHasPort = false;
  if (!text.empty() && text.front() == '[') {
    const std::size_t nClose = text.find(']');
    if (nClose == std::string_view::npos) return Refuse(pWhy, "has a \"[\" without its \"]\"");
    host = text.substr(1, nClose - 1);
    std::string_view rest = text.substr(nClose + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return Refuse(pWhy, "has text after the \"]\" of its address");
      port = rest.substr(1);
      bHasPort = true;
    }
    if (host.find_first_not_of("0123456789abcdefABCDEF:.%") != std::string_view::npos ||
        host.empty()) {
      return Refuse(pWhy, "has no IPv6 address between \"[\" and \"]\"");
    }
  } else {
    const std::size_t nColon = text.rfind(':');
    if (nColon != std::string_view::npos) {
      host = text.substr(0, nColon);
      port = text.substr(nColon + 1);
      bHasPort = true;
    }
    if (!IsHostText(host)) {
      return Refuse(pWhy, host.empty() ? "names no host"
                                       : "names the host \"" + std::string(host) +
                                             "\", which no host can be called");
    }
  }
  if (!bHasPort && !bPortOptional) return Refuse(pWhy, "has no port");
  if (bHasPort && !ParsePort(port, &pProbe->wPort, pWhy)) return false;
  pProbe->strHost = host;
  return true;
}

bool ParseUrl(std::string_view text, bool bSecure, ProbeTarget* pProbe, std::string* pWhy) {
  pProbe->kind = ProbeKind::kHttp;
  pProbe->bSecure = bSecure;
  pProbe->wPort = bSecure ? 443 : 80;
  if (text.find('#') != std::string_view::npos) {
    return Refuse(pWhy, "has a fragment (#), which is never sent");
  }
  const std::size_t nPath = text.find_first_of("/?");
  if (!ParseAuthority(text.substr(0, nPath), true, pProbe, pWhy)) return false;
  std::string_view path = nPath == std::string_view::npos ? "/" : text.substr(nPath);
  if (path.find_first_of(" \t\r\n") != std::string_view::npos) {
    return Refuse(pWhy, "has a blank in its path; write a blank as %20");
  }
  pProbe->strTarget.clear();
  if (path.front() == '?') pProbe->strTarget.push_back('/');
  pProbe->strTarget.append(path);
  return true;
}

// The part after "kind:", which must not be empty.
bool TakeRest(std::string_view rest, const char* pszWhat, std::string* pTarget, std::string* pWhy) {
  if (rest.empty()) return Refuse(pWhy, std::string("names no ") + pszWhat);
  *pTarget = rest;
  return true;
}

}  // namespace

bool ParseProbeTarget(std::string_view text, bool bHealth, ProbeTarget* pProbe, std::string* pWhy) {
  ProbeTarget target;
  bool bParsed = true;
  if (text.empty()) {
    // No check.
  } else if (EqualsIgnoringCase(text, "notify")) {
    target.kind = ProbeKind::kNotify;
  } else if (StartsWithIgnoringCase(text, "http://")) {
    bParsed = ParseUrl(text.substr(7), false, &target, pWhy);
  } else if (StartsWithIgnoringCase(text, "https://")) {
    bParsed = ParseUrl(text.substr(8), true, &target, pWhy);
  } else if (StartsWithIgnoringCase(text, "tcp:")) {
    target.kind = ProbeKind::kTcp;
    std::string_view rest = text.substr(4);
    if (rest.find_first_not_of("0123456789") == std::string_view::npos) {
      target.strHost = kDefaultProbeHost;
      bParsed = ParsePort(rest, &target.wPort, pWhy);
    } else {
      bParsed = ParseAuthority(rest, false, &target, pWhy);
    }
  } else if (StartsWithIgnoringCase(text, "file:")) {
    target.kind = ProbeKind::kFile;
    bParsed = TakeRest(text.substr(5), "file", &target.strTarget, pWhy);
  } else if (StartsWithIgnoringCase(text, "pipe:")) {
    target.kind = ProbeKind::kPipe;
    std::string_view name = text.substr(5);
    if (StartsWithIgnoringCase(name, kPipePrefix)) name.remove_prefix(kPipePrefix.size());
    bParsed = TakeRest(name, "pipe", &target.strTarget, pWhy);
  } else if (StartsWithIgnoringCase(text, "output:")) {
    target.kind = ProbeKind::kOutput;
    bParsed = TakeRest(text.substr(7), "text", &target.strTarget, pWhy);
    // A line never holds a line end: such a check could never pass.
    if (bParsed && target.strTarget.find_first_of("\r\n") != std::string::npos) {
      bParsed = Refuse(pWhy, "holds a line end, which no line of output holds");
    }
  } else if (StartsWithIgnoringCase(text, "exec:") && bHealth) {
    target.kind = ProbeKind::kExec;
    bParsed = TakeRest(text.substr(5), "command line", &target.strTarget, pWhy);
  } else {
    return Refuse(pWhy,
                  std::string("is not tcp:, http://, https://, file:, pipe:, output:, notify") +
                      (bHealth ? " or exec:" : "") + " followed by what to check");
  }
  if (bParsed) *pProbe = std::move(target);
  return bParsed;
}

std::string DescribeProbe(const ProbeTarget& target) {
  std::string strHost = target.strHost;
  if (strHost.find(':') != std::string::npos) strHost = '[' + strHost + ']';  // IPv6
  switch (target.kind) {
    case ProbeKind::kNone:
      return "";
    case ProbeKind::kTcp:
      return "tcp:" + strHost + ":" + std::to_string(target.wPort);
    case ProbeKind::kHttp: {
      std::string strUrl = target.bSecure ? "https://" : "http://";
      strUrl += strHost;
      if (target.wPort != (target.bSecure ? 443 : 80)) strUrl += ':' + std::to_string(target.wPort);
      strUrl += target.strTarget;
      return strUrl;
    }
    case ProbeKind::kFile:
      return "file:" + target.strTarget;
    case ProbeKind::kPipe:
      return "pipe:" + target.strTarget;
    case ProbeKind::kOutput:
      return "output:" + target.strTarget;
    case ProbeKind::kNotify:
      return "notify";
    case ProbeKind::kExec:
      return "exec:" + target.strTarget;
  }
  return "";
}

}  // namespace qm::runner
