#pragma once
// The few system calls of the directory picker that tests must be able to fail or answer:
// message boxes (nobody is there to press them), the current directory and the drive list
// (a real system rarely fails them). Everything else is called directly.
#include <windows.h>

namespace qm::dirpicker {

class IPickerSystem {
 public:
  virtual ~IPickerSystem() = default;
  virtual int ShowMessageBox(HWND hOwner, const char* pszText, const char* pszCaption,
                             UINT nStyle) = 0;
  // GetCurrentDirectoryA and GetLogicalDrives, with their results.
  virtual DWORD CurrentDirectory(DWORD nCapacity, char* pszBuffer) = 0;
  virtual DWORD LogicalDrives() = 0;
};

// Each call forwards to the API of the same meaning.
class CWin32PickerSystem : public IPickerSystem {
 public:
  int ShowMessageBox(HWND hOwner, const char* pszText, const char* pszCaption,
                     UINT nStyle) override {
    return ::MessageBoxA(hOwner, pszText, pszCaption, nStyle);
  }
  DWORD CurrentDirectory(DWORD nCapacity, char* pszBuffer) override {
    return ::GetCurrentDirectoryA(nCapacity, pszBuffer);
  }
  DWORD LogicalDrives() override { return ::GetLogicalDrives(); }
};

// The implementation in use, process-wide: the Win32 one unless another is installed.
IPickerSystem& PickerSystem();
// Installs pSystem (null: the Win32 one again); returns the one it replaces.
IPickerSystem* InstallPickerSystem(IPickerSystem* pSystem);

// Shows the system's own text for the calling thread's last error, unaltered, in a box with
// the caption and MB_OK | MB_ICONSTOP.
void ShowLastErrorBox(HWND hOwner, const char* pszCaption);

}  // namespace qm::dirpicker
