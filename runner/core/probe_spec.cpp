#include "runner/core/probe_spec.h"

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
bool ParseAuthority(std::string_view text, bool bPortOptional, ProbeSpec* pSpec,
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
  if (bHasPort && !ParsePort(port, &pSpec->wPort, pWhy)) return false;
  pSpec->strHost = host;
  return true;
}

bool ParseUrl(std::string_view text, bool bSecure, ProbeSpec* pSpec, std::string* pWhy) {
  pSpec->kind = ProbeKind::kHttp;
  pSpec->bSecure = bSecure;
  pSpec->wPort = bSecure ? 443 : 80;
  if (text.find('#') != std::string_view::npos) {
    return Refuse(pWhy, "has a fragment (#), which is never sent");
  }
  const std::size_t nPath = text.find_first_of("/?");
  if (!ParseAuthority(text.substr(0, nPath), true, pSpec, pWhy)) return false;
  std::string_view path = nPath == std::string_view::npos ? "/" : text.substr(nPath);
  if (path.find_first_of(" \t\r\n") != std::string_view::npos) {
    return Refuse(pWhy, "has a blank in its path; write a blank as %20");
  }
  pSpec->strTarget.clear();
  if (path.front() == '?') pSpec->strTarget.push_back('/');
  pSpec->strTarget.append(path);
  return true;
}

// The part after "kind:", which must not be empty.
bool TakeRest(std::string_view rest, const char* pszWhat, std::string* pTarget, std::string* pWhy) {
  if (rest.empty()) return Refuse(pWhy, std::string("names no ") + pszWhat);
  *pTarget = rest;
  return true;
}

}  // namespace

bool ParseProbeSpec(std::string_view text, bool bHealth, ProbeSpec* pSpec, std::string* pWhy) {
  ProbeSpec spec;
  bool bParsed = true;
  if (text.empty()) {
    // No check.
  } else if (EqualsIgnoringCase(text, "notify")) {
    spec.kind = ProbeKind::kNotify;
  } else if (StartsWithIgnoringCase(text, "http://")) {
    bParsed = ParseUrl(text.substr(7), false, &spec, pWhy);
  } else if (StartsWithIgnoringCase(text, "https://")) {
    bParsed = ParseUrl(text.substr(8), true, &spec, pWhy);
  } else if (StartsWithIgnoringCase(text, "tcp:")) {
    spec.kind = ProbeKind::kTcp;
    std::string_view rest = text.substr(4);
    if (rest.find_first_not_of("0123456789") == std::string_view::npos) {
      spec.strHost = kDefaultProbeHost;
      bParsed = ParsePort(rest, &spec.wPort, pWhy);
    } else {
      bParsed = ParseAuthority(rest, false, &spec, pWhy);
    }
  } else if (StartsWithIgnoringCase(text, "file:")) {
    spec.kind = ProbeKind::kFile;
    bParsed = TakeRest(text.substr(5), "file", &spec.strTarget, pWhy);
  } else if (StartsWithIgnoringCase(text, "pipe:")) {
    spec.kind = ProbeKind::kPipe;
    std::string_view name = text.substr(5);
    if (StartsWithIgnoringCase(name, kPipePrefix)) name.remove_prefix(kPipePrefix.size());
    bParsed = TakeRest(name, "pipe", &spec.strTarget, pWhy);
  } else if (StartsWithIgnoringCase(text, "output:")) {
    spec.kind = ProbeKind::kOutput;
    bParsed = TakeRest(text.substr(7), "text", &spec.strTarget, pWhy);
    // A line never holds a line end: such a check could never pass.
    if (bParsed && spec.strTarget.find_first_of("\r\n") != std::string::npos) {
      bParsed = Refuse(pWhy, "holds a line end, which no line of output holds");
    }
  } else if (StartsWithIgnoringCase(text, "exec:") && bHealth) {
    spec.kind = ProbeKind::kExec;
    bParsed = TakeRest(text.substr(5), "command line", &spec.strTarget, pWhy);
  } else {
    return Refuse(pWhy,
                  std::string("is not tcp:, http://, https://, file:, pipe:, output:, notify") +
                      (bHealth ? " or exec:" : "") + " followed by what to check");
  }
  if (bParsed) *pSpec = std::move(spec);
  return bParsed;
}

std::string DescribeProbe(const ProbeSpec& spec) {
  std::string strHost = spec.strHost;
  if (strHost.find(':') != std::string::npos) strHost = '[' + strHost + ']';  // IPv6
  switch (spec.kind) {
    case ProbeKind::kNone:
      return "";
    case ProbeKind::kTcp:
      return "tcp:" + strHost + ":" + std::to_string(spec.wPort);
    case ProbeKind::kHttp: {
      std::string strUrl = spec.bSecure ? "https://" : "http://";
      strUrl += strHost;
      if (spec.wPort != (spec.bSecure ? 443 : 80)) strUrl += ':' + std::to_string(spec.wPort);
      strUrl += spec.strTarget;
      return strUrl;
    }
    case ProbeKind::kFile:
      return "file:" + spec.strTarget;
    case ProbeKind::kPipe:
      return "pipe:" + spec.strTarget;
    case ProbeKind::kOutput:
      return "output:" + spec.strTarget;
    case ProbeKind::kNotify:
      return "notify";
    case ProbeKind::kExec:
      return "exec:" + spec.strTarget;
  }
  return "";
}

}  // namespace qm::runner
