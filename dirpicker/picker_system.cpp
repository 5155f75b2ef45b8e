#include "dirpicker/picker_system.h"

#include "common/win32_handles.h"

namespace qm {

PickerSystem& GetPickerSystem() {
  static PickerSystem s_system;
  return s_system;
}

void ShowLastErrorBox(HWND hOwner, const char* pszCaption) {
  DWORD dwError = ::GetLastError();
  char* pszText = nullptr;
  ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<LPSTR>(&pszText), 0, nullptr);
  unique_hlocal hText(pszText);
  GetPickerSystem().pfnMessageBox(hOwner, pszText ? pszText : "", pszCaption, MB_OK | MB_ICONSTOP);
}

}  // namespace qm
