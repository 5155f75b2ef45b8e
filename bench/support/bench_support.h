// Helpers every Windows benchmark uses: a millisecond clock, the folder of the running
// program, waits on a service's state or a file's arrival, and a service's values written.
#pragma once

#include <windows.h>

#include <string>

namespace qm::bench {

// Milliseconds from the performance counter.
double NowMs();

// The folder of the running program, with its trailing backslash.
std::string BinFolder();

SERVICE_STATUS_PROCESS Query(SC_HANDLE hService);

// Polls every dwPollMs until the service reaches dwState; false after dTimeoutMs.
bool WaitForState(SC_HANDLE hService, DWORD dwState, double dTimeoutMs, DWORD dwPollMs);

// Polls every millisecond until strPath exists; false after dTimeoutMs.
bool WaitForFile(const std::string& strPath, double dTimeoutMs);

// A REG_SZ or REG_DWORD value under HKEY_LOCAL_MACHINE\strKey.
void SetString(const std::string& strKey, const char* pszName, const std::string& strValue);
void SetDword(const std::string& strKey, const char* pszName, DWORD dwValue);

}  // namespace qm::bench
