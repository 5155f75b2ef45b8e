#include "bench/support/bench_support.h"

namespace qm::bench {

double NowMs() {
  // The frequency is fixed at boot: read it once.
  static const double s_dFrequency = [] {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
  }();
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / s_dFrequency;
}

std::string BinFolder() {
  char szPath[MAX_PATH] = "";
  ::GetModuleFileNameA(nullptr, szPath, sizeof(szPath));
  std::string strPath = szPath;
  return strPath.substr(0, strPath.find_last_of('\\') + 1);
}

SERVICE_STATUS_PROCESS Query(SC_HANDLE hService) {
  SERVICE_STATUS_PROCESS status = {};
  DWORD dwNeeded = 0;
  ::QueryServiceStatusEx(hService, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                         sizeof(status), &dwNeeded);
  return status;
}

bool WaitForState(SC_HANDLE hService, DWORD dwState, double dTimeoutMs, DWORD dwPollMs) {
  const double dEnd = NowMs() + dTimeoutMs;
  while (Query(hService).dwCurrentState != dwState) {
    if (NowMs() > dEnd) return false;
    ::Sleep(dwPollMs);
  }
  return true;
}

bool WaitForFile(const std::string& strPath, double dTimeoutMs) {
  const double dEnd = NowMs() + dTimeoutMs;
  while (::GetFileAttributesA(strPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (NowMs() > dEnd) return false;
    ::Sleep(1);
  }
  return true;
}

void SetString(const std::string& strKey, const char* pszName, const std::string& strValue) {
  ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, strKey.c_str(), pszName, REG_SZ, strValue.c_str(),
                    static_cast<DWORD>(strValue.size() + 1));
}

void SetDword(const std::string& strKey, const char* pszName, DWORD dwValue) {
  ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, strKey.c_str(), pszName, REG_DWORD, &dwValue,
                    sizeof(dwValue));
}

}  // namespace qm::bench
