#include "framework/help.h"

#include <windows.h>
// (needs <windows.h> first)
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "framework/app.h"

namespace qm::fw {

std::string DefaultHelpPath() {
  char szPath[MAX_PATH] = "";
  DWORD nLength = ::GetModuleFileNameA(nullptr, szPath, sizeof(szPath));
  if (nLength == 0 || nLength >= sizeof(szPath)) return "quillmnt.html";
  std::string strPath(szPath, nLength);
  size_t nSlash = strPath.find_last_of("\\/");
  size_t nDot = strPath.find_last_of('.');
  if (nDot != std::string::npos && (nSlash == std::string::npos || nDot > nSlash)) {
    strPath.erase(nDot);
  }
  return strPath + ".html";
}

void FormatHelpMissing(const char* pszPath, char* pszText, size_t nCapacity) {
  snprintf(pszText, nCapacity,
           "The user guide could not be opened.\n\nIt should be in this file, beside the "
           "program:\n%s",
           pszPath);
}

bool OpenUserGuide(HWND hOwner) {
  CWinApp* pApp = GetApp();
  std::string strPath = pApp != nullptr ? pApp->GetHelpPath() : DefaultHelpPath();
  return OpenHelpFile(hOwner, strPath.c_str());
}

bool OpenHelpFile(HWND hOwner, const char* pszPath) {
  HINSTANCE hResult = ::ShellExecuteA(hOwner, "open", pszPath, nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(hResult) > 32) return true;
  char szText[MAX_PATH + 160];
  FormatHelpMissing(pszPath, szText, sizeof(szText));
  ::MessageBoxA(hOwner, szText, "Quillmont Help", MB_OK | MB_ICONEXCLAMATION);
  return false;
}

}  // namespace qm::fw
