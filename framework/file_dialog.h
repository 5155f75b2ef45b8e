#pragma once
// The open-file common dialog with the framework's arguments: default extension, initial
// file name, flags, a "desc|pattern|...||" filter and an owner.

#include <windows.h>
// (needs <windows.h> first)
#include <commdlg.h>

#include <string>

#include "framework/wnd.h"

namespace qm::fw {

// The seam to the common dialog: the Win32 implementation calls GetOpenFileNameA; tests
// install their own to look at what the dialog gets and to answer for the user.
class ICommonDialogs {
 public:
  virtual ~ICommonDialogs() = default;
  virtual BOOL RunOpenFileDialog(OPENFILENAMEA* pOfn) = 0;
};

// The implementation in use, process-wide: the Win32 one unless another is installed.
ICommonDialogs& CommonDialogs();
// Installs pDialogs (null: the Win32 one again); returns the one it replaces.
ICommonDialogs* InstallCommonDialogs(ICommonDialogs* pDialogs);

class CFileDialog {
 public:
  CFileDialog(const char* pszDefExt, const char* pszFileName, DWORD dwFlags, const char* pszFilter,
              CWnd* pParentWnd);
  CFileDialog(const CFileDialog&) = delete;
  CFileDialog& operator=(const CFileDialog&) = delete;

  // IDOK when a file was chosen, else IDCANCEL (also when the dialog failed).
  INT_PTR DoModal();
  // The chosen file's full path.
  std::string GetPathName() const { return m_szFile; }

  // What the common dialog gets.
  OPENFILENAMEA m_ofn{};

 private:
  std::string m_strDefExt;
  std::string m_strFilter;
  CWnd* m_pParentWnd;
  char m_szFile[MAX_PATH] = "";
};

}  // namespace qm::fw
