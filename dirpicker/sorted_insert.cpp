#include "dirpicker/sorted_insert.h"

#include "common/ansi_text.h"
#include "dirpicker/redraw_suspender.h"
#include "dirpicker/sort_order.h"
#include "framework/controls.h"

namespace qm::dirpicker {

namespace {

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
                                 int nSelectedImage, std::vector<HTREEITEM>* pvecCreated) {
  if (vecNames.empty()) return 0;
  const fw::CTreeCtrl tree(hTree);
  HTREEITEM hInsertParent = hParent ? hParent : TVI_ROOT;

  std::vector<HTREEITEM> vecChildren;
  std::vector<std::wstring> vecChildTexts;
  for (HTREEITEM h = hParent ? tree.GetNextItem(hParent, TVGN_CHILD)
                             : tree.GetNextItem(nullptr, TVGN_ROOT);
       h; h = tree.GetNextItem(h, TVGN_NEXT)) {
    vecChildren.push_back(h);
    vecChildTexts.push_back(ItemTextW(hTree, h));
  }
  std::vector<std::wstring> vecWide;
  vecWide.reserve(vecNames.size());
  // The wide text the control stores for each 8-bit name (nothing for one it cannot convert).
  for (const std::string& strName : vecNames) {
    WidenAnsi(strName, &vecWide.emplace_back());
  }

  std::vector<SortedSlot> vecSlots =
      PlanSortedInsertion(vecChildTexts, vecWide, GetTreeSortCompare());

  CRedrawSuspender suspend(hTree);
  std::size_t nInserted = 0;
  if (pvecCreated) pvecCreated->reserve(pvecCreated->size() + vecNames.size());
  auto insert = [&](std::size_t nName, HTREEITEM hAfter) {
    HTREEITEM hNew =
        tree.InsertItem(hInsertParent, hAfter, vecNames[nName].c_str(), nImage, nSelectedImage);
    if (!hNew) return;
    ++nInserted;
    if (pvecCreated) pvecCreated->push_back(hNew);
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

}  // namespace qm::dirpicker
