#pragma once
// What the directory picker's tests under Wine share besides tests/support: real temporary
// directory trees, Wine drive letters mapped to host folders, and the recording message box in
// place of the picker's (nobody is there to press them).
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <string>
#include <vector>

#include "dirpicker/picker_system.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/wine_test_support.h"

namespace qm::test {

// A fresh folder below the temporary folder, removed with everything in it at the end.
class CTempTree {
 public:
  // Full path of a relative one ("" is the root), without a trailing backslash.
  std::string Path(const std::string& strRelative = "") const;
  void MakeDir(const std::string& strRelative, DWORD dwAttributes = 0) const;
  void MakeFile(const std::string& strRelative) const;
  // Made by the host, for names that Win32 paths cannot carry (trailing dots: "...").
  void MakeHostDir(const std::string& strRelative) const;
  void Remove(const std::string& strRelative) const;

 private:
  CScratchFolder m_root{"qm-dirpicker"};
};

// Maps drive chLetter to a host path (existing or not) through Wine's mount manager, and
// removes the mapping at the end.
class CWineDrive {
 public:
  CWineDrive(char chLetter, const std::string& strHostTarget);
  ~CWineDrive();
  CWineDrive(const CWineDrive&) = delete;
  CWineDrive& operator=(const CWineDrive&) = delete;
  bool Ok() const { return m_bOk; }

 private:
  char m_chLetter;
  bool m_bOk = false;
};

// The picker's system calls as the tests script them: the real calls until a test puts a
// function of its own in place.
struct PickerSystem : qm::dirpicker::IPickerSystem {
  CRecordingMessageBox* pBoxes = nullptr;  // else the real boxes
  DWORD(WINAPI* pfnGetCurrentDirectory)(DWORD, LPSTR) = &::GetCurrentDirectoryA;
  DWORD(WINAPI* pfnGetLogicalDrives)() = &::GetLogicalDrives;

  int ShowMessageBox(HWND hOwner, const char* pszText, const char* pszCaption,
                     UINT nStyle) override {
    if (pBoxes) return pBoxes->Record(hOwner, pszText, pszCaption, nStyle);
    return ::MessageBoxA(hOwner, pszText, pszCaption, nStyle);
  }
  DWORD CurrentDirectory(DWORD nCapacity, char* pszBuffer) override {
    return pfnGetCurrentDirectory(nCapacity, pszBuffer);
  }
  DWORD LogicalDrives() override { return pfnGetLogicalDrives(); }
};

// The tests' instance, installed in the picker for the whole test program at first use.
PickerSystem& GetPickerSystem();

// Records the picker's message boxes (all of them OK boxes) for its lifetime.
class CBoxRecorder : public CRecordingMessageBox {
 public:
  CBoxRecorder() : m_pSaved(GetPickerSystem().pBoxes) { GetPickerSystem().pBoxes = this; }
  ~CBoxRecorder() { GetPickerSystem().pBoxes = m_pSaved; }
  CBoxRecorder(const CBoxRecorder&) = delete;
  CBoxRecorder& operator=(const CBoxRecorder&) = delete;

 private:
  CRecordingMessageBox* m_pSaved;
};

// Keeps the process's current directory across a test.
class CCurrentDirectoryGuard {
 public:
  CCurrentDirectoryGuard();
  ~CCurrentDirectoryGuard();

 private:
  char m_szSaved[1024] = "";
};

std::string CurrentDirectory();

// WM_DIRTREE_CHANGED messages waiting in the queue for hWnd; removes them.
int TakePostedTreeChanges(HWND hWnd);

// A tree control's items, read back.
HTREEITEM TreeNext(HWND hTree, UINT nCode, HTREEITEM hItem);
std::string TreeText(HWND hTree, HTREEITEM hItem);
std::vector<std::string> TreeChildren(HWND hTree, HTREEITEM hParent);  // null: top level
int TreeImage(HWND hTree, HTREEITEM hItem, int* pnSelected = nullptr);
bool TreeExpanded(HWND hTree, HTREEITEM hItem);

}  // namespace qm::test
