#include "tests/support/wine_test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/win32_handles.h"

namespace qm::test {

std::string TestBinFolder() {
  char szPath[MAX_PATH] = "";
  const DWORD cch = ::GetModuleFileNameA(nullptr, szPath, sizeof(szPath));
  const std::string strPath(szPath, cch < sizeof(szPath) ? cch : 0);
  return strPath.substr(0, strPath.find_last_of('\\') + 1);
}

std::string TempFolder() {
  char szTemp[MAX_PATH] = "";
  const DWORD cch = ::GetTempPathA(sizeof(szTemp), szTemp);
  return std::string(szTemp, cch < sizeof(szTemp) ? cch : 0);
}

void RemoveTree(const std::string& strPath) {
  WIN32_FIND_DATAA data{};
  unique_hfind hFind(::FindFirstFileA((strPath + "\\*").c_str(), &data));
  if (hFind) {
    do {
      const std::string strName = data.cFileName;
      if (strName == "." || strName == "..") continue;
      const std::string strChild = strPath + "\\" + strName;
      ::SetFileAttributesA(strChild.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(strChild);
      } else {
        ::DeleteFileA(strChild.c_str());
      }
    } while (::FindNextFileA(hFind.get(), &data));
  }
  if (::RemoveDirectoryA(strPath.c_str()) || strPath.rfind(TempFolder(), 0) != 0) return;
  // What Win32 cannot name or open (a name ending in dots, a dangling link the host made) the
  // host removes; only ever below the temporary folder.
  const std::string strHost = HostPath(strPath);
  if (!strHost.empty() && ::GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
    RunHostCommand("rm -rf '" + strHost + "'");
  }
}

CScratchFolder::CScratchFolder(const std::string& strTag) {
  static int s_nCount = 0;
  m_strPath = TempFolder() + strTag + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
              std::to_string(++s_nCount) + "\\";
  RemoveTree(m_strPath.substr(0, m_strPath.size() - 1));  // left by a run that was cut short
  ::CreateDirectoryA(m_strPath.c_str(), nullptr);
}

CScratchFolder::~CScratchFolder() {
  RemoveTree(m_strPath.substr(0, m_strPath.size() - 1));
}

std::string ReadFileText(const std::string& strPath) {
  // A reader that does not share deletion cannot open a file while another process holds it
  // with delete access, as MoveFileEx does around its rename: the file exists, and an
  // ordinary open of it fails for that moment.
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  unique_hfile hFile;
  for (int nTry = 0;; ++nTry) {
    hFile.reset(::CreateFileA(strPath.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD dwError = ::GetLastError();
    if (hFile) break;
    // Held without sharing, or deleted while still open (as when it is being replaced).
    const bool bHeld = dwError == ERROR_SHARING_VIOLATION || dwError == ERROR_ACCESS_DENIED;
    if (!bHeld || nTry >= 100) return {};
    ::Sleep(20);
  }
  std::string strText;
  char buffer[65536];
  DWORD dwRead = 0;
  while (::ReadFile(hFile.get(), buffer, sizeof(buffer), &dwRead, nullptr) && dwRead > 0) {
    strText.append(buffer, dwRead);
  }
  return strText;
}

bool WriteText(const std::string& strPath, const std::string& strText) {
  std::ofstream file(strPath, std::ios::binary);
  file << strText;
  file.close();
  EXPECT_TRUE(file) << strPath;
  return static_cast<bool>(file);
}

bool WaitUntil(const std::function<bool()>& done, std::uint32_t dwTimeoutMs) {
  const ULONGLONG ullEnd = ::GetTickCount64() + dwTimeoutMs;
  while (!done()) {
    if (::GetTickCount64() >= ullEnd) return false;
    ::Sleep(50);
  }
  return true;
}

bool WaitForFile(const std::string& strPath, std::uint32_t dwTimeoutMs) {
  return WaitUntil([&] { return ::GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES; },
                   dwTimeoutMs);
}

bool WaitForText(const std::string& strPath, const std::string& strText,
                 std::uint32_t dwTimeoutMs) {
  return WaitUntil([&] { return ReadFileText(strPath) == strText; }, dwTimeoutMs);
}

std::string RecordValue(const std::string& strRecord, const std::string& strKey) {
  std::istringstream text(strRecord);
  for (std::string strLine; std::getline(text, strLine);) {
    if (strLine.rfind(strKey + "=", 0) == 0) return strLine.substr(strKey.size() + 1);
  }
  return {};
}

bool WaitForRecord(const std::string& strPath, std::uint32_t dwTimeoutMs) {
  return WaitUntil([&] { return RecordValue(ReadFileText(strPath), "complete") == "1"; },
                   dwTimeoutMs);
}

std::string UniqueName(const std::string& strTag) {
  return "qmtest" + std::to_string(::GetCurrentProcessId()) + strTag;
}

namespace {

unique_schandle OpenManager() {
  return unique_schandle(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

SERVICE_STATUS_PROCESS StatusOf(SC_HANDLE hService) {
  SERVICE_STATUS_PROCESS status = {};
  DWORD cbNeeded = 0;
  ::QueryServiceStatusEx(hService, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                         sizeof(status), &cbNeeded);
  return status;
}

bool WaitForStopped(SC_HANDLE hService) {
  return WaitUntil([&] { return StatusOf(hService).dwCurrentState == SERVICE_STOPPED; }, 5000);
}

}  // namespace

bool ServiceExists(const std::string& strName) {
  unique_schandle manager = OpenManager();
  unique_schandle service(::OpenServiceA(manager.get(), strName.c_str(), SERVICE_QUERY_STATUS));
  return static_cast<bool>(service);
}

bool CreateRawService(const std::string& strName, const std::string& strBinary,
                      std::uint32_t dwStartType, bool bOurMarker) {
  unique_schandle manager = OpenManager();
  unique_schandle service(::CreateServiceA(manager.get(), strName.c_str(), strName.c_str(),
                                           SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                           dwStartType, SERVICE_ERROR_NORMAL, strBinary.c_str(),
                                           nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service) return false;
  if (!bOurMarker) return true;
  const std::string strKey = "SYSTEM\\CurrentControlSet\\Services\\" + strName + "\\Parameters";
  unique_hkey key;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return ::RegSetValueExA(key.get(), "Installer", 0, REG_SZ,
                          reinterpret_cast<const BYTE*>("quillmnt"), 9) == ERROR_SUCCESS;
}

std::string ReadValue(const std::string& strKey, const std::string& strValue,
                      std::uint32_t* pdwType) {
  *pdwType = 0;
  unique_hkey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, KEY_READ, key.put()) !=
      ERROR_SUCCESS) {
    return "";
  }
  char ab[4096];
  DWORD cb = sizeof(ab);
  DWORD dwType = 0;
  if (::RegQueryValueExA(key.get(), strValue.c_str(), nullptr, &dwType, reinterpret_cast<BYTE*>(ab),
                         &cb) != ERROR_SUCCESS) {
    return "";
  }
  *pdwType = dwType;
  return std::string(ab, cb);
}

void RemoveService(const std::string& strName) {
  unique_schandle manager = OpenManager();
  unique_schandle service(::OpenServiceA(manager.get(), strName.c_str(), SERVICE_ALL_ACCESS));
  if (!service) return;
  SERVICE_STATUS status = {};
  if (::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) WaitForStopped(service.get());
  // A test that failed may leave a service that does not stop.
  const SERVICE_STATUS_PROCESS last = StatusOf(service.get());
  if (last.dwCurrentState != SERVICE_STOPPED && last.dwProcessId != 0) {
    unique_handle hProcess(::OpenProcess(PROCESS_TERMINATE, FALSE, last.dwProcessId));
    if (hProcess) ::TerminateProcess(hProcess.get(), 1);
    WaitForStopped(service.get());
  }
  ::DeleteService(service.get());
}

CServiceCleanup::~CServiceCleanup() {
  for (const std::string& strName : m_names) RemoveService(strName);
}

std::string HostPath(const std::string& strWindowsPath) {
  using PfnUnixName = char*(CDECL*)(LPCWSTR);
  auto pfn = reinterpret_cast<PfnUnixName>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!pfn) return std::string();
  wchar_t szWide[MAX_PATH * 2] = L"";
  ::MultiByteToWideChar(CP_ACP, 0, strWindowsPath.c_str(), -1, szWide, MAX_PATH * 2);
  char* pszUnix = pfn(szWide);
  if (!pszUnix) return std::string();
  std::string strUnix = pszUnix;
  ::HeapFree(::GetProcessHeap(), 0, pszUnix);
  return strUnix;
}

bool RunHostCommand(const std::string& strCommand) {
  // The host process is not waited for reliably: it touches a marker, and the marker is
  // looked for through drive Z:, which Wine maps to the host's root.
  static int s_nCount = 0;
  char szMarker[96];
  std::snprintf(szMarker, sizeof(szMarker), "/tmp/qm-test-host-%lu-%d", ::GetCurrentProcessId(),
                ++s_nCount);
  std::string strLine = "/bin/sh -c \"" + strCommand + " ; touch " + szMarker + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessA(nullptr, strLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
    return false;
  }
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  std::string strMarker = std::string("Z:") + szMarker;
  for (char& ch : strMarker) {
    if (ch == '/') ch = '\\';
  }
  if (!WaitForFile(strMarker, 5000)) return false;
  ::DeleteFileA(strMarker.c_str());
  return true;
}

}  // namespace qm::test
