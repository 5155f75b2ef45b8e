#pragma once
// A system DLL the runner loads only when a service needs it (the checks' Winsock and WinHTTP):
// linked, it would be loaded at every service start, and WinHTTP brings more with it. Loaded
// by its full path in the system folder, once, and never unloaded.

#include <windows.h>

#include <string>

namespace qm::runner {

class CSystemLibrary {
 public:
  explicit CSystemLibrary(const char* pszFileName) : m_pszFileName(pszFileName) {}

  // Loads the DLL at the first call; false (with the system's error) when it cannot.
  bool Load() {
    if (m_hModule) return true;
    char szSystem[MAX_PATH] = "";
    const UINT cch = ::GetSystemDirectoryA(szSystem, sizeof(szSystem));
    if (cch == 0 || cch >= sizeof(szSystem)) return false;
    m_hModule = ::LoadLibraryA((std::string(szSystem) + "\\" + m_pszFileName).c_str());
    return m_hModule != nullptr;
  }

  // An export as a typed pointer; false when it is missing.
  template <class Fn>
  bool Resolve(const char* pszExport, Fn* ppfn) const {
    *ppfn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(m_hModule, pszExport)));
    return *ppfn != nullptr;
  }

 private:
  const char* m_pszFileName;
  HMODULE m_hModule = nullptr;
};

}  // namespace qm::runner
