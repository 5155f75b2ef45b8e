#pragma once
// The system's own text for an error code, the one place that asks FormatMessageA for it in
// the Windows build (the service commands ask through their platform seam, which forwards
// to the same call).
#include <windows.h>

#include <string>

#include "common/win32_handles.h"

namespace qm {

// The text as the system gives it (its closing line break included), or empty when the
// system has none. Insert markers stay as they are: no argument is ever read for them.
inline std::string SystemMessageText(DWORD dwError) {
  char* pszText = nullptr;
  DWORD dwLength = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<LPSTR>(&pszText), 0, nullptr);
  unique_hlocal hText(pszText);
  return dwLength != 0 && pszText != nullptr ? std::string(pszText, dwLength) : std::string();
}

}  // namespace qm
