#include "dirpicker/picker_system.h"

#include "common/seam.h"
#include "common/system_message.h"

namespace qm::dirpicker {

namespace {
CWin32PickerSystem g_win32System;
CSeam<IPickerSystem> g_system(&g_win32System);
}  // namespace

IPickerSystem& PickerSystem() {
  return g_system.Get();
}

IPickerSystem* InstallPickerSystem(IPickerSystem* pSystem) {
  return g_system.Install(pSystem);
}

void ShowLastErrorBox(HWND hOwner, const char* pszCaption) {
  std::string strText = SystemMessageText(::GetLastError());
  PickerSystem().ShowMessageBox(hOwner, strText.c_str(), pszCaption, MB_OK | MB_ICONSTOP);
}

}  // namespace qm::dirpicker
