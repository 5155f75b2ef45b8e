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
  CTreeCtrl() = default;
  // A view of a tree control that no object is bound to, for code given only its handle.
  explicit CTreeCtrl(HWND hWnd) { m_hWnd = hWnd; }

  HIMAGELIST SetImageList(HIMAGELIST hImageList, int nType) const {
    return reinterpret_cast<HIMAGELIST>(
        SendMsg(TVM_SETIMAGELIST, nType, reinterpret_cast<LPARAM>(hImageList)));
  }
  HTREEITEM GetNextItem(HTREEITEM hItem, UINT nCode) const {
    return reinterpret_cast<HTREEITEM>(
        SendMsg(TVM_GETNEXTITEM, nCode, reinterpret_cast<LPARAM>(hItem)));
  }
  // The item's text, up to 1023 characters.
  std::string GetItemText(HTREEITEM hItem) const {
    char szText[1024] = "";
    TVITEMA tvi{};
    tvi.mask = TVIF_TEXT;
    tvi.hItem = hItem;
    tvi.pszText = szText;
    tvi.cchTextMax = sizeof(szText);
    SendMsg(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
    return szText;
  }
  HTREEITEM InsertItem(HTREEITEM hParent, HTREEITEM hInsertAfter, const char* pszText, int nImage,
                       int nSelectedImage) const {
    TVINSERTSTRUCTA tvis{};
    tvis.hParent = hParent;
    tvis.hInsertAfter = hInsertAfter;
    tvis.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    tvis.item.pszText = const_cast<char*>(pszText);
    tvis.item.iImage = nImage;
    tvis.item.iSelectedImage = nSelectedImage;
    return reinterpret_cast<HTREEITEM>(
        SendMsg(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&tvis)));
  }
  BOOL DeleteItem(HTREEITEM hItem) const {
    return static_cast<BOOL>(SendMsg(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(hItem)));
  }
  // nCode: TVGN_CARET, TVGN_DROPHILITE or TVGN_FIRSTVISIBLE; a null item clears the first two.
  BOOL Select(HTREEITEM hItem, UINT nCode) const {
    return static_cast<BOOL>(SendMsg(TVM_SELECTITEM, nCode, reinterpret_cast<LPARAM>(hItem)));
  }
  // A null item removes the mark.
  BOOL SetInsertMark(HTREEITEM hItem, BOOL bAfter) const {
    return static_cast<BOOL>(SendMsg(TVM_SETINSERTMARK, bAfter, reinterpret_cast<LPARAM>(hItem)));
  }
  BOOL Expand(HTREEITEM hItem, UINT nCode) const {
    return static_cast<BOOL>(SendMsg(TVM_EXPAND, nCode, reinterpret_cast<LPARAM>(hItem)));
  }
};

}  // namespace qm::fw
