#pragma once
// The few system calls of the directory picker that tests must be able to fail or answer:
// message boxes (nobody is there to press them), the current directory and the drive list
// (a real system rarely fails them). Everything else is called directly.
#include <windows.h>

namespace qm {

struct PickerSystem {
  int(WINAPI* pfnMessageBox)(HWND, LPCSTR, LPCSTR, UINT) = &::MessageBoxA;
  DWORD(WINAPI* pfnGetCurrentDirectory)(DWORD, LPSTR) = &::GetCurrentDirectoryA;
  DWORD(WINAPI* pfnGetLogicalDrives)() = &::GetLogicalDrives;
};

// The calls in use, process-wide; tests swap entries and put them back.
PickerSystem& GetPickerSystem();

// Shows the system's own text for the calling thread's last error, unaltered, in a box with
// the caption and MB_OK | MB_ICONSTOP. Insert markers in the text stay as they are: no
// argument is ever read for them.
void ShowLastErrorBox(HWND hOwner, const char* pszCaption);

}  // namespace qm
