#include "framework/file_dialog.h"

#include <cstdio>

#include "common/seam.h"
#include "framework/file_filter.h"

namespace qm::fw {

namespace {

class CWin32CommonDialogs : public ICommonDialogs {
 public:
  BOOL RunOpenFileDialog(OPENFILENAMEA* pOfn) override { return ::GetOpenFileNameA(pOfn); }
};

CWin32CommonDialogs g_win32Dialogs;
CSeam<ICommonDialogs> g_dialogs(&g_win32Dialogs);

}  // namespace

ICommonDialogs& CommonDialogs() {
  return g_dialogs.Get();
}

ICommonDialogs* InstallCommonDialogs(ICommonDialogs* pDialogs) {
  return g_dialogs.Install(pDialogs);
}

CFileDialog::CFileDialog(const char* pszDefExt, const char* pszFileName, DWORD dwFlags,
                         const char* pszFilter, CWnd* pParentWnd)
    : m_strDefExt(pszDefExt != nullptr ? pszDefExt : ""),
      m_strFilter(ConvertFilter(pszFilter)),
      m_pParentWnd(pParentWnd) {
  if (pszFileName != nullptr) snprintf(m_szFile, sizeof(m_szFile), "%s", pszFileName);
  m_ofn.lStructSize = sizeof(m_ofn);
  // The framework always asks for the explorer-style dialog; the caller's flags come on top.
  m_ofn.Flags = dwFlags | OFN_EXPLORER;
  m_ofn.lpstrFile = m_szFile;
  m_ofn.nMaxFile = sizeof(m_szFile);
  m_ofn.lpstrDefExt = pszDefExt != nullptr ? m_strDefExt.c_str() : nullptr;
  m_ofn.lpstrFilter = pszFilter != nullptr ? m_strFilter.c_str() : nullptr;
  m_ofn.nFilterIndex = 1;
}

INT_PTR CFileDialog::DoModal() {
  m_ofn.hwndOwner = m_pParentWnd != nullptr ? m_pParentWnd->GetSafeHwnd() : ::GetActiveWindow();
  m_ofn.hInstance = ::GetModuleHandleA(nullptr);
  BOOL bOk = CommonDialogs().RunOpenFileDialog(&m_ofn);
  m_szFile[sizeof(m_szFile) - 1] = '\0';
  return bOk ? IDOK : IDCANCEL;
}

}  // namespace qm::fw
