#include "dirpicker/picker_system.h"

#include "common/system_message.h"

namespace qm::dirpicker {

namespace {
CWin32PickerSystem g_win32System;
IPickerSystem* g_pSystem = &g_win32System;
}  // namespace

IPickerSystem& PickerSystem() {
  return *g_pSystem;
}

IPickerSystem* InstallPickerSystem(IPickerSystem* pSystem) {
  IPickerSystem* pPrevious = g_pSystem;
  g_pSystem = pSystem != nullptr ? pSystem : &g_win32System;
  return pPrevious;
}

void ShowLastErrorBox(HWND hOwner, const char* pszCaption) {
  std::string strText = SystemMessageText(::GetLastError());
  PickerSystem().ShowMessageBox(hOwner, strText.c_str(), pszCaption, MB_OK | MB_ICONSTOP);
}

}  // namespace qm::dirpicker
