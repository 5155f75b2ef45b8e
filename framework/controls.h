#pragma once
// Plain control classes to bind dialog controls to (DDX_Control). They add nothing to
// CWnd's routing; derived classes give them message maps of their own.

#include <windows.h>
// (needs <windows.h> first)
#include <commctrl.h>

#include <string>
#include <vector>

#include "framework/wnd.h"

namespace qm::fw {

class CEdit : public CWnd {};

class CComboBox : public CWnd {
 public:
  int GetCurSel() const { return static_cast<int>(SendMsg(CB_GETCURSEL)); }
  int SetCurSel(int nIndex) const { return static_cast<int>(SendMsg(CB_SETCURSEL, nIndex)); }
  int GetCount() const { return static_cast<int>(SendMsg(CB_GETCOUNT)); }
  int AddString(const char* pszText) const {
    return static_cast<int>(SendMsg(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszText)));
  }
  void ResetContent() const { SendMsg(CB_RESETCONTENT); }
  // The item's text; empty for an index out of range.
  std::string GetLBText(int nIndex) const {
    LRESULT nLength = SendMsg(CB_GETLBTEXTLEN, nIndex);
    if (nLength == CB_ERR || nLength <= 0) return {};
    std::vector<char> buffer(static_cast<size_t>(nLength) + 1, '\0');
    LRESULT nCopied = SendMsg(CB_GETLBTEXT, nIndex, reinterpret_cast<LPARAM>(buffer.data()));
    if (nCopied == CB_ERR) return {};
    return std::string(buffer.data());
  }
};

class CTreeCtrl : public CWnd {
 public:
  HIMAGELIST SetImageList(HIMAGELIST hImageList, int nType) const {
    return reinterpret_cast<HIMAGELIST>(
        SendMsg(TVM_SETIMAGELIST, nType, reinterpret_cast<LPARAM>(hImageList)));
  }
};

}  // namespace qm::fw
