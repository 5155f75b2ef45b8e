#pragma once
// The open-file common dialog with the framework's arguments: default extension, initial
// file name, flags, a "desc|pattern|...||" filter and an owner.

#include <windows.h>
// (needs <windows.h> first)
#include <commdlg.h>

#include <string>

#include "framework/wnd.h"

namespace qm::fw {

class CFileDialog {
 public:
  CFileDialog(bool bOpenFileDialog, const char* pszDefExt, const char* pszFileName, DWORD dwFlags,
              const char* pszFilter, CWnd* pParentWnd);
  CFileDialog(const CFileDialog&) = delete;
  CFileDialog& operator=(const CFileDialog&) = delete;

  // IDOK when a file was chosen, else IDCANCEL (also when the dialog failed).
  INT_PTR DoModal();
  // The chosen file's full path.
  std::string GetPathName() const { return m_szFile; }

  // What the common dialog gets; tests replace the runner to look at it.
  OPENFILENAMEA m_ofn{};
  using Runner = BOOL(WINAPI*)(OPENFILENAMEA*);
  static Runner s_pfnGetOpenFileName;
  static Runner s_pfnGetSaveFileName;

 private:
  bool m_bOpenFileDialog;
  std::string m_strDefExt;
  std::string m_strFilter;
  CWnd* m_pParentWnd;
  char m_szFile[MAX_PATH] = "";
};

}  // namespace qm::fw
