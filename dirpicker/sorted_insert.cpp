#include "dirpicker/sorted_insert.h"

#include "dirpicker/redraw_suspender.h"
#include "dirpicker/sort_order.h"

namespace qm {

namespace {

HTREEITEM NextItem(HWND hTree, UINT nCode, HTREEITEM hItem) {
  return reinterpret_cast<HTREEITEM>(
      ::SendMessageA(hTree, TVM_GETNEXTITEM, nCode, reinterpret_cast<LPARAM>(hItem)));
}

// The wide text the control holds, so that the comparison sees what the control compares.
std::wstring ItemTextW(HWND hTree, HTREEITEM hItem) {
  wchar_t szText[1024] = L"";
  TVITEMW tvi{};
  tvi.mask = TVIF_TEXT;
  tvi.hItem = hItem;
  tvi.pszText = szText;
  tvi.cchTextMax = static_cast<int>(sizeof(szText) / sizeof(szText[0]));
  ::SendMessageW(hTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvi));
  return szText;
}

}  // namespace

std::size_t InsertChildrenSorted(HWND hTree, HTREEITEM hParent,
                                 const std::vector<std::string>& vecNames, int nImage,
                                 int nSelectedImage) {
  if (vecNames.empty()) return 0;
  HTREEITEM hInsertParent = hParent ? hParent : TVI_ROOT;

  std::vector<HTREEITEM> vecChildren;
  std::vector<std::wstring> vecChildTexts;
  for (HTREEITEM h = hParent ? NextItem(hTree, TVGN_CHILD, hParent)
                             : NextItem(hTree, TVGN_ROOT, nullptr);
       h; h = NextItem(hTree, TVGN_NEXT, h)) {
    vecChildren.push_back(h);
    vecChildTexts.push_back(ItemTextW(hTree, h));
  }
  std::vector<std::wstring> vecWide;
  vecWide.reserve(vecNames.size());
  for (const std::string& strName : vecNames) vecWide.push_back(WidenAnsi(strName.c_str()));

  std::vector<SortedSlot> vecSlots =
      PlanSortedInsertion(vecChildTexts, vecWide, GetTreeSortCompare());

  CRedrawSuspender suspend(hTree);
  std::size_t nInserted = 0;
  auto insert = [&](std::size_t nName, HTREEITEM hAfter) {
    TVINSERTSTRUCTA tvis{};
    tvis.hParent = hInsertParent;
    tvis.hInsertAfter = hAfter;
    tvis.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    tvis.item.pszText = const_cast<char*>(vecNames[nName].c_str());
    tvis.item.iImage = nImage;
    tvis.item.iSelectedImage = nSelectedImage;
    if (::SendMessageA(hTree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&tvis))) ++nInserted;
  };

  // Each run of new items goes in with the cheapest position that the control accepts
  // without searching its item table for a fresh handle: appended in order at the end, or
  // in reverse order right after the existing child that precedes the run (or first).
  for (std::size_t nStart = 0; nStart < vecSlots.size();) {
    if (vecSlots[nStart].m_bExisting) {
      ++nStart;
      continue;
    }
    std::size_t nEnd = nStart;
    while (nEnd < vecSlots.size() && !vecSlots[nEnd].m_bExisting) ++nEnd;
    if (nEnd == vecSlots.size()) {
      for (std::size_t i = nStart; i < nEnd; ++i) insert(vecSlots[i].m_nIndex, TVI_LAST);
    } else {
      HTREEITEM hAnchor = nStart == 0 ? TVI_FIRST : vecChildren[vecSlots[nStart - 1].m_nIndex];
      for (std::size_t i = nEnd; i > nStart; --i) insert(vecSlots[i - 1].m_nIndex, hAnchor);
    }
    nStart = nEnd;
  }
  return nInserted;
}

}  // namespace qm
