#include "dirpicker/directory_tree.h"

#include <cstdio>
#include <vector>

#include "dirpicker/picker_system.h"
#include "dirpicker/redraw_suspender.h"
#include "dirpicker/scoped_unsubclass.h"
#include "dirpicker/sorted_insert.h"
#include "dirpicker/subdir_search.h"
#include "res/resource.h"

namespace {

constexpr qm::fw::MsgMapEntry kEntries[] = {
    qm::fw::OnReflectedNotify<&CDirectoryTree::OnDblclk>(NM_DBLCLK),
};

HTREEITEM NextItem(HWND hTree, UINT nCode, HTREEITEM hItem) {
  return reinterpret_cast<HTREEITEM>(
      ::SendMessageA(hTree, TVM_GETNEXTITEM, nCode, reinterpret_cast<LPARAM>(hItem)));
}

void DeleteTreeItem(HWND hTree, HTREEITEM hItem) {
  ::SendMessageA(hTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(hItem));
}

}  // namespace

const qm::fw::MessageMap CDirectoryTree::kMessageMap{&qm::fw::CTreeCtrl::kMessageMap, kEntries};

HTREEITEM CDirectoryTree::GetNextItem(HTREEITEM hItem, UINT nCode) const {
  return reinterpret_cast<HTREEITEM>(
      SendMsg(TVM_GETNEXTITEM, nCode, reinterpret_cast<LPARAM>(hItem)));
}

std::string CDirectoryTree::GetItemText(HTREEITEM hItem) const {
  char szText[1024] = "";
  TVITEMA tvi{};
  tvi.mask = TVIF_TEXT;
  tvi.hItem = hItem;
  tvi.pszText = szText;
  tvi.cchTextMax = sizeof(szText);
  SendMsg(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
  return szText;
}

void CDirectoryTree::DeleteItem(HTREEITEM hItem) const {
  SendMsg(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(hItem));
}

HTREEITEM CDirectoryTree::InsertChainItem(HTREEITEM hParent, const char* pszText) {
  TVINSERTSTRUCTA tvis{};
  tvis.hParent = hParent;
  tvis.hInsertAfter = TVI_LAST;
  tvis.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  tvis.item.pszText = const_cast<char*>(pszText);
  tvis.item.iImage = m_nOpenImage;
  tvis.item.iSelectedImage = m_nOpenSelectedImage;
  return reinterpret_cast<HTREEITEM>(SendMsg(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&tvis)));
}

int CDirectoryTree::ShowCurrentDirectory() {
  if (m_chDrive != 'a') {
    // The drive-relative form takes the system's current directory of that drive (or its
    // root). A refusal goes unnoticed: the tree is rebuilt where the process stands.
    char szDrive[8];
    std::snprintf(szDrive, sizeof(szDrive), "%c:", m_chDrive);
    ::SetCurrentDirectoryA(szDrive);
    DeleteItem(TVI_ROOT);
  }

  char szDir[1024] = "";
  DWORD dwLength = qm::GetPickerSystem().pfnGetCurrentDirectory(sizeof(szDir), szDir);
  if (dwLength >= sizeof(szDir)) {
    // Too long for the buffer, which then holds nothing usable.
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    dwLength = 0;
  }
  if (dwLength == 0) {
    qm::ShowLastErrorBox(m_hWnd, "GetLastError");
    return 0;
  }
  m_strPath = szDir;
  m_chDrive = szDir[0];

  // Components as strtok splits them: runs of backslashes count as one, no empty ones.
  int nComponents = 0;
  HTREEITEM hParent = TVI_ROOT;
  for (std::size_t nPos = 0; nPos < m_strPath.size();) {
    std::size_t nStart = m_strPath.find_first_not_of('\\', nPos);
    if (nStart == std::string::npos) break;
    std::size_t nEnd = m_strPath.find('\\', nStart);
    if (nEnd == std::string::npos) nEnd = m_strPath.size();
    hParent = InsertChainItem(hParent, m_strPath.substr(nStart, nEnd - nStart).c_str());
    ++nComponents;
    nPos = nEnd;
  }

  HTREEITEM hDeepest = nullptr;
  HTREEITEM hItem = GetNextItem(nullptr, TVGN_ROOT);
  for (int i = 0; i < nComponents; ++i) {
    hDeepest = hItem;
    SendMsg(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(hItem));
    hItem = GetNextItem(hItem, TVGN_CHILD);
  }
  SendMsg(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hDeepest));
  ListSubdirectories(m_strPath, hDeepest);
  return 1;
}

void CDirectoryTree::ListSubdirectories(std::string strPath, HTREEITEM hParent) {
  std::vector<std::string> vecNames;
  if (!qm::CollectSubdirectories(strPath.c_str(), &vecNames)) {
    qm::GetPickerSystem().pfnMessageBox(m_hWnd, "FindFirstFile() returned INVALID_HANDLE_VALUE",
                                        "DEBUG", MB_OK);
    return;
  }
  // Sorted as the control's own sorted insertion would place them, without its linear
  // scan per item: directories with tens of thousands of subdirectories stay quick.
  qm::CScopedUnsubclass bulk(*this);
  qm::InsertChildrenSorted(bulk.GetHwnd(), hParent, vecNames, m_nClosedImage,
                           m_nClosedSelectedImage);
  ::SendMessageA(bulk.GetHwnd(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(hParent));
}

void CDirectoryTree::SetPathFromItem(HTREEITEM hItem) {
  std::string strPath = GetItemText(hItem);
  for (HTREEITEM hAncestor = GetNextItem(hItem, TVGN_PARENT); hAncestor;
       hAncestor = GetNextItem(hAncestor, TVGN_PARENT)) {
    strPath = GetItemText(hAncestor) + "\\" + strPath;
  }
  m_strPath = strPath;
  if (HWND hParentWnd = ::GetParent(m_hWnd)) {
    ::PostMessageA(hParentWnd, WM_DIRTREE_CHANGED, 0, 0);
  }
}

void CDirectoryTree::DeleteChildBranch(HTREEITEM hItem) {
  HTREEITEM hChild = GetNextItem(hItem, TVGN_CHILD);
  if (!hChild) return;
  qm::CScopedUnsubclass bulk(*this);
  qm::CRedrawSuspender suspend(bulk.GetHwnd());
  while (HTREEITEM hGrandchild = NextItem(bulk.GetHwnd(), TVGN_CHILD, hChild)) {
    DeleteTreeItem(bulk.GetHwnd(), hGrandchild);
  }
  DeleteTreeItem(bulk.GetHwnd(), hChild);
}

void CDirectoryTree::DeleteSiblings(HTREEITEM hItem) {
  // A big listing goes item by item: without redrawing, or it takes minutes.
  qm::CScopedUnsubclass bulk(*this);
  HWND hTree = bulk.GetHwnd();
  qm::CRedrawSuspender suspend(hTree);
  while (HTREEITEM hPrevious = NextItem(hTree, TVGN_PREVIOUS, hItem))
    DeleteTreeItem(hTree, hPrevious);
  while (HTREEITEM hNext = NextItem(hTree, TVGN_NEXT, hItem)) DeleteTreeItem(hTree, hNext);
}

void CDirectoryTree::OnDblclk(NMHDR* /*pNotify*/, LRESULT* pResult) {
  // Handled in every case: the control's own double-click toggling must not run.
  *pResult = 1;
  HTREEITEM hItem = GetNextItem(nullptr, TVGN_CARET);
  // An empty tree (after a drive that could not be shown) has nothing selected.
  if (!hItem) return;

  TVITEMA tvi{};
  tvi.mask = TVIF_STATE;
  tvi.hItem = hItem;
  tvi.stateMask = TVIS_EXPANDED;
  SendMsg(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));

  if (tvi.state & TVIS_EXPANDED) {
    if (HTREEITEM hChild = GetNextItem(hItem, TVGN_CHILD)) {
      TVITEMA child{};
      child.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
      child.hItem = hChild;
      SendMsg(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&child));
      // The deepest chain item with its listing already shown.
      if (child.iImage == m_nClosedImage || child.iSelectedImage == m_nClosedSelectedImage) return;
    }
    // Climbing back to an ancestor on the chain.
    DeleteChildBranch(hItem);
  } else {
    // Descending into a listed item: it joins the chain.
    TVITEMA open{};
    open.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    open.hItem = hItem;
    open.iImage = m_nOpenImage;
    open.iSelectedImage = m_nOpenSelectedImage;
    SendMsg(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&open));
    DeleteSiblings(hItem);
  }
  SetPathFromItem(hItem);
  ListSubdirectories(m_strPath, hItem);
}
