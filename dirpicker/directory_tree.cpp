#include "dirpicker/directory_tree.h"

#include <cstdio>
#include <vector>

#include "dirpicker/picker_system.h"
#include "dirpicker/redraw_suspender.h"
#include "dirpicker/sorted_insert.h"
#include "dirpicker/subdir_search.h"
#include "res/resource.h"

namespace qm::dirpicker {

namespace {

constexpr qm::fw::MsgMapEntry kEntries[] = {
    qm::fw::OnReflectedNotify<&CDirectoryTree::OnDblclk>(NM_DBLCLK),
};

}  // namespace

const qm::fw::MessageMap CDirectoryTree::kMessageMap{&qm::fw::CTreeCtrl::kMessageMap, kEntries};

HTREEITEM CDirectoryTree::InsertChainItem(HTREEITEM hParent, const char* pszText) {
  return InsertItem(hParent, TVI_LAST, pszText, m_nOpenImage, m_nOpenSelectedImage);
}

int CDirectoryTree::ShowCurrentDirectory() {
  if (m_chDrive != 'a') {
    // The drive-relative form takes the system's current directory of that drive (or its
    // root). A refusal goes unnoticed: the tree is rebuilt where the process stands.
    char szDrive[8];
    std::snprintf(szDrive, sizeof(szDrive), "%c:", m_chDrive);
    ::SetCurrentDirectoryA(szDrive);
    m_vecListed.clear();
    DeleteItem(TVI_ROOT);
  }

  char szDir[1024] = "";
  DWORD dwLength = PickerSystem().CurrentDirectory(sizeof(szDir), szDir);
  if (dwLength >= sizeof(szDir)) {
    // Too long for the buffer, which then holds nothing usable.
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    dwLength = 0;
  }
  if (dwLength == 0) {
    ShowLastErrorBox(m_hWnd, "GetLastError");
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
    Expand(hItem, TVE_EXPAND);
    hItem = GetNextItem(hItem, TVGN_CHILD);
  }
  SendMsg(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hDeepest));
  ListSubdirectories(m_strPath, hDeepest);
  return 1;
}

void CDirectoryTree::ListSubdirectories(std::string strPath, HTREEITEM hParent) {
  std::vector<std::string> vecNames;
  if (!CollectSubdirectories(strPath.c_str(), &vecNames)) {
    PickerSystem().ShowMessageBox(m_hWnd, "FindFirstFile() returned INVALID_HANDLE_VALUE", "DEBUG",
                                  MB_OK);
    return;
  }
  // Sorted as the control's own sorted insertion would place them, without its linear
  // scan per item: directories with tens of thousands of subdirectories stay quick.
  m_hListedParent = hParent;
  m_vecListed.clear();
  InsertChildrenSorted(m_hWnd, hParent, vecNames, m_nClosedImage, m_nClosedSelectedImage,
                       &m_vecListed);
  Expand(hParent, TVE_EXPAND);
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

void CDirectoryTree::DeleteListed(HTREEITEM hKeep) {
  // Wine's control keeps its items in one table in the order of creation and looks every item
  // handle up by a linear search of it from the oldest; a deletion closes the gap it leaves.
  // Taken oldest first, each item of a big listing is found at once. Each deletion also checks
  // the drop target, the insert mark and the first visible item: while they are unset (or far
  // down the table) each check searches the whole table in vain, which made a descent among
  // 100,000 siblings take seconds. Pointing them at items near the head of the table for the
  // duration keeps every search short; the marker goes last, and the deletion of an item
  // clears what pointed at it. Redrawing is suspended by the callers, so nothing shows.
  HTREEITEM hMarker = nullptr;
  for (HTREEITEM hListed : m_vecListed) {
    if (hListed != hKeep) {
      hMarker = hListed;
      break;
    }
  }
  if (hMarker) {
    Select(GetNextItem(nullptr, TVGN_ROOT), TVGN_FIRSTVISIBLE);
    Select(hMarker, TVGN_DROPHILITE);
    SetInsertMark(hMarker, FALSE);
    for (HTREEITEM hListed : m_vecListed) {
      if (hListed != hKeep && hListed != hMarker) DeleteItem(hListed);
    }
    DeleteItem(hMarker);
    // Windows clears both with the item too; cleared again for a control that might not.
    Select(nullptr, TVGN_DROPHILITE);
    SetInsertMark(nullptr, FALSE);
  }
  m_vecListed.clear();
}

bool CDirectoryTree::ListingIsBelow(HTREEITEM hItem) const {
  if (m_vecListed.empty()) return false;  // then m_hListedParent may be gone
  for (HTREEITEM h = m_hListedParent; h; h = GetNextItem(h, TVGN_PARENT)) {
    if (h == hItem) return true;
  }
  return false;
}

void CDirectoryTree::DeleteChildBranch(HTREEITEM hItem) {
  HTREEITEM hChild = GetNextItem(hItem, TVGN_CHILD);
  if (!hChild) return;
  CRedrawSuspender suspend(m_hWnd);
  // Only the first child's branch goes. The last listing mostly hangs in it, under the deepest
  // chain item, and goes first in bulk; but after a collapsed chain item was listed again it
  // hangs beside hChild, and stays.
  if (ListingIsBelow(hChild)) DeleteListed(nullptr);
  while (HTREEITEM hGrandchild = GetNextItem(hChild, TVGN_CHILD)) DeleteItem(hGrandchild);
  DeleteItem(hChild);
}

void CDirectoryTree::DeleteSiblings(HTREEITEM hItem) {
  // A big listing goes without redrawing, or it takes minutes.
  CRedrawSuspender suspend(m_hWnd);
  if (GetNextItem(hItem, TVGN_PARENT) == m_hListedParent) DeleteListed(hItem);
  m_vecListed.clear();
  // Whatever else stands beside it (nothing, after our own listing).
  while (HTREEITEM hPrevious = GetNextItem(hItem, TVGN_PREVIOUS)) DeleteItem(hPrevious);
  while (HTREEITEM hNext = GetNextItem(hItem, TVGN_NEXT)) DeleteItem(hNext);
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

}  // namespace qm::dirpicker
