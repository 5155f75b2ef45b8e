// tcp: and http(s):// checks. Winsock and WinHTTP are loaded at the first such probe, on the
// probe thread, which is the only one to use them.
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which it needs.
#include <winhttp.h>

#include <algorithm>
#include <string>

#include "common/ansi_text.h"
#include "common/unique_any.h"
#include "common/win32_handles.h"
#include "runner/probes.h"
#include "runner/system_library.h"

namespace qm::runner {

namespace {

struct CWinsock {
  decltype(&::WSAStartup) pWSAStartup = nullptr;
  decltype(&::getaddrinfo) pGetAddrInfo = nullptr;
  decltype(&::freeaddrinfo) pFreeAddrInfo = nullptr;
  decltype(&::socket) pSocket = nullptr;
  decltype(&::connect) pConnect = nullptr;
  decltype(&::closesocket) pCloseSocket = nullptr;
  decltype(&::WSAEventSelect) pEventSelect = nullptr;
  decltype(&::WSAEnumNetworkEvents) pEnumNetworkEvents = nullptr;
  decltype(&::WSAGetLastError) pGetLastError = nullptr;
};

// Winsock, loaded and started once; nullptr with *pdwError when it cannot be.
const CWinsock* Winsock(DWORD* pdwError) {
  static CSystemLibrary s_library("ws2_32.dll");
  static CWinsock s_winsock;
  static bool s_bStarted = false;
  if (s_bStarted) return &s_winsock;
  if (!s_library.Load()) {
    *pdwError = ::GetLastError();
    return nullptr;
  }
  CWinsock& w = s_winsock;
  if (!s_library.Resolve("WSAStartup", &w.pWSAStartup) ||
      !s_library.Resolve("getaddrinfo", &w.pGetAddrInfo) ||
      !s_library.Resolve("freeaddrinfo", &w.pFreeAddrInfo) ||
      !s_library.Resolve("socket", &w.pSocket) || !s_library.Resolve("connect", &w.pConnect) ||
      !s_library.Resolve("closesocket", &w.pCloseSocket) ||
      !s_library.Resolve("WSAEventSelect", &w.pEventSelect) ||
      !s_library.Resolve("WSAEnumNetworkEvents", &w.pEnumNetworkEvents) ||
      !s_library.Resolve("WSAGetLastError", &w.pGetLastError)) {
    *pdwError = ERROR_PROC_NOT_FOUND;
    return nullptr;
  }
  WSADATA data;
  const int nError = w.pWSAStartup(MAKEWORD(2, 2), &data);
  if (nError != 0) {
    *pdwError = static_cast<DWORD>(nError);
    return nullptr;
  }
  s_bStarted = true;
  return &s_winsock;
}

struct SocketTraits {
  using type = SOCKET;
  const CWinsock* pWinsock = nullptr;
  static type invalid() { return INVALID_SOCKET; }
  void close(type h) const { pWinsock->pCloseSocket(h); }
};
using unique_socket = unique_any<SocketTraits>;

struct AddressListTraits {
  using type = addrinfo*;
  const CWinsock* pWinsock = nullptr;
  static type invalid() { return nullptr; }
  void close(type h) const { pWinsock->pFreeAddrInfo(h); }
};
using unique_address_list = unique_any<AddressListTraits>;

struct CWinHttp {
  decltype(&::WinHttpOpen) pOpen = nullptr;
  decltype(&::WinHttpSetTimeouts) pSetTimeouts = nullptr;
  decltype(&::WinHttpConnect) pConnect = nullptr;
  decltype(&::WinHttpOpenRequest) pOpenRequest = nullptr;
  decltype(&::WinHttpSetOption) pSetOption = nullptr;
  decltype(&::WinHttpSendRequest) pSendRequest = nullptr;
  decltype(&::WinHttpReceiveResponse) pReceiveResponse = nullptr;
  decltype(&::WinHttpQueryHeaders) pQueryHeaders = nullptr;
  decltype(&::WinHttpCloseHandle) pCloseHandle = nullptr;
};

const CWinHttp* WinHttp(DWORD* pdwError) {
  static CSystemLibrary s_library("winhttp.dll");
  static CWinHttp s_winHttp;
  static bool s_bLoaded = false;
  if (s_bLoaded) return &s_winHttp;
  if (!s_library.Load()) {
    *pdwError = ::GetLastError();
    return nullptr;
  }
  CWinHttp& h = s_winHttp;
  if (!s_library.Resolve("WinHttpOpen", &h.pOpen) ||
      !s_library.Resolve("WinHttpSetTimeouts", &h.pSetTimeouts) ||
      !s_library.Resolve("WinHttpConnect", &h.pConnect) ||
      !s_library.Resolve("WinHttpOpenRequest", &h.pOpenRequest) ||
      !s_library.Resolve("WinHttpSetOption", &h.pSetOption) ||
      !s_library.Resolve("WinHttpSendRequest", &h.pSendRequest) ||
      !s_library.Resolve("WinHttpReceiveResponse", &h.pReceiveResponse) ||
      !s_library.Resolve("WinHttpQueryHeaders", &h.pQueryHeaders) ||
      !s_library.Resolve("WinHttpCloseHandle", &h.pCloseHandle)) {
    *pdwError = ERROR_PROC_NOT_FOUND;
    return nullptr;
  }
  s_bLoaded = true;
  return &s_winHttp;
}

struct InternetTraits {
  using type = HINTERNET;
  const CWinHttp* pWinHttp = nullptr;
  static type invalid() { return nullptr; }
  void close(type h) const { pWinHttp->pCloseHandle(h); }
};
using unique_hinternet = unique_any<InternetTraits>;

ProbeAnswer Failed(std::string strSeen) {
  return {false, std::move(strSeen)};
}

std::string Ms(DWORD dwMs) {
  return std::to_string(dwMs) + " ms";
}

// What WinHTTP's own errors mean to an administrator.
std::string HttpErrorText(DWORD dwError, DWORD dwTimeoutMs) {
  switch (dwError) {
    case ERROR_WINHTTP_TIMEOUT:
      return "no answer within " + Ms(dwTimeoutMs);
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return "no such host";
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return "cannot connect";
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return "the connection was reset";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return "not an HTTP answer";
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
      return "certificate not trusted (WinHTTP error " + std::to_string(dwError) + ")";
    default:
      return "WinHTTP error " + std::to_string(dwError);
  }
}

}  // namespace

ProbeAnswer ProbeTcp(const ProbeTarget& target, DWORD dwTimeoutMs, HANDLE hCancel) {
  DWORD dwError = 0;
  const CWinsock* pWinsock = Winsock(&dwError);
  if (!pWinsock) return Failed("Winsock cannot be used: " + ProbeErrorText(dwError));
  addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  unique_address_list addresses(nullptr, AddressListTraits{pWinsock});
  const std::string strPort = std::to_string(target.wPort);
  const int nResolved =
      pWinsock->pGetAddrInfo(target.strHost.c_str(), strPort.c_str(), &hints, addresses.put());
  if (nResolved != 0) {
    return Failed(nResolved == WSAHOST_NOT_FOUND || nResolved == WSANO_DATA
                      ? std::string("no such host")
                      : ProbeErrorText(static_cast<DWORD>(nResolved)));
  }
  const ULONGLONG ullDeadline = ::GetTickCount64() + dwTimeoutMs;
  unique_handle hConnected(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!hConnected) return Failed(ProbeErrorText(::GetLastError()));
  std::string strSeen = "no address for the host";
  // Each address in turn ("localhost": ::1, then 127.0.0.1), within the one timeout.
  for (const addrinfo* pAddress = addresses.get(); pAddress; pAddress = pAddress->ai_next) {
    unique_socket hSocket(
        pWinsock->pSocket(pAddress->ai_family, pAddress->ai_socktype, pAddress->ai_protocol),
        SocketTraits{pWinsock});
    if (!hSocket) {
      strSeen = ProbeErrorText(static_cast<DWORD>(pWinsock->pGetLastError()));
      continue;
    }
    ::ResetEvent(hConnected.get());
    // Also makes the socket non-blocking, so connect returns at once.
    if (pWinsock->pEventSelect(hSocket.get(), hConnected.get(), FD_CONNECT) != 0) {
      strSeen = ProbeErrorText(static_cast<DWORD>(pWinsock->pGetLastError()));
      continue;
    }
    if (pWinsock->pConnect(hSocket.get(), pAddress->ai_addr,
                           static_cast<int>(pAddress->ai_addrlen)) == 0) {
      return {true, ""};
    }
    const int nConnectError = pWinsock->pGetLastError();
    if (nConnectError != WSAEWOULDBLOCK) {
      strSeen = ProbeErrorText(static_cast<DWORD>(nConnectError));
      continue;
    }
    const ULONGLONG ullNow = ::GetTickCount64();
    const DWORD dwLeft = ullNow < ullDeadline ? static_cast<DWORD>(ullDeadline - ullNow) : 0;
    HANDLE ahWait[2] = {hConnected.get(), hCancel};
    const DWORD dwWhich = ::WaitForMultipleObjects(hCancel ? 2 : 1, ahWait, FALSE, dwLeft);
    if (dwWhich == WAIT_OBJECT_0 + 1) return Failed("cancelled");
    if (dwWhich != WAIT_OBJECT_0) return Failed("no connection within " + Ms(dwTimeoutMs));
    WSANETWORKEVENTS events = {};
    if (pWinsock->pEnumNetworkEvents(hSocket.get(), hConnected.get(), &events) != 0) {
      strSeen = ProbeErrorText(static_cast<DWORD>(pWinsock->pGetLastError()));
      continue;
    }
    const int nResult = events.iErrorCode[FD_CONNECT_BIT];
    if (nResult == 0) return {true, ""};
    strSeen = ProbeErrorText(static_cast<DWORD>(nResult));
  }
  return Failed(strSeen);
}

ProbeAnswer ProbeHttp(const ProbeTarget& target, DWORD dwTimeoutMs) {
  DWORD dwError = 0;
  const CWinHttp* pWinHttp = WinHttp(&dwError);
  if (!pWinHttp) return Failed("WinHTTP cannot be used: " + ProbeErrorText(dwError));
  std::wstring wstrHost;
  std::wstring wstrPath;
  if (!WidenAnsi(target.strHost, &wstrHost) || !WidenAnsi(target.strTarget, &wstrPath)) {
    return Failed(ProbeErrorText(::GetLastError()));
  }
  const InternetTraits traits{pWinHttp};
  // A check goes straight to the program, never through a proxy.
  unique_hinternet hSession(pWinHttp->pOpen(L"Quillmont-Check/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                            WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0),
                            traits);
  const int nTimeout = static_cast<int>(std::min<DWORD>(dwTimeoutMs, 0x7FFFFFFF));
  if (!hSession ||
      !pWinHttp->pSetTimeouts(hSession.get(), nTimeout, nTimeout, nTimeout, nTimeout)) {
    return Failed(HttpErrorText(::GetLastError(), dwTimeoutMs));
  }
  unique_hinternet hConnection(
      pWinHttp->pConnect(hSession.get(), wstrHost.c_str(), target.wPort, 0), traits);
  if (!hConnection) return Failed(HttpErrorText(::GetLastError(), dwTimeoutMs));
  unique_hinternet hRequest(
      pWinHttp->pOpenRequest(hConnection.get(), L"GET", wstrPath.c_str(), nullptr,
                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                             target.bSecure ? WINHTTP_FLAG_SECURE : 0),
      traits);
  if (!hRequest) return Failed(HttpErrorText(::GetLastError(), dwTimeoutMs));
  // A redirect is the answer: a check that followed it would pass for another page. A
  // certificate the system does not trust stays an error: no security flag is relaxed.
  DWORD dwDisable = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES |
                    WINHTTP_DISABLE_KEEP_ALIVE | WINHTTP_DISABLE_AUTHENTICATION;
  if (!pWinHttp->pSetOption(hRequest.get(), WINHTTP_OPTION_DISABLE_FEATURE, &dwDisable,
                            sizeof(dwDisable)) ||
      !pWinHttp->pSendRequest(hRequest.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !pWinHttp->pReceiveResponse(hRequest.get(), nullptr)) {
    return Failed(HttpErrorText(::GetLastError(), dwTimeoutMs));
  }
  DWORD dwStatus = 0;
  DWORD cbStatus = sizeof(dwStatus);
  if (!pWinHttp->pQueryHeaders(
          hRequest.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
          WINHTTP_HEADER_NAME_BY_INDEX, &dwStatus, &cbStatus, WINHTTP_NO_HEADER_INDEX)) {
    return Failed(HttpErrorText(::GetLastError(), dwTimeoutMs));
  }
  if (dwStatus >= 200 && dwStatus <= 299) return {true, ""};
  return Failed("HTTP " + std::to_string(dwStatus) +
                (dwStatus >= 300 && dwStatus <= 399 ? " (a redirect, not followed)" : ""));
}

}  // namespace qm::runner
