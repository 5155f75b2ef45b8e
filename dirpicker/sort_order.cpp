#include "dirpicker/sort_order.h"

#include <commctrl.h>

#include <algorithm>

namespace qm::dirpicker {

namespace {

HTREEITEM InsertProbe(HWND hTree, const char* pszText) {
  TVINSERTSTRUCTA tvis{};
  tvis.hParent = TVI_ROOT;
  tvis.hInsertAfter = TVI_SORT;
  tvis.item.mask = TVIF_TEXT;
  tvis.item.pszText = const_cast<char*>(pszText);
  return reinterpret_cast<HTREEITEM>(
      ::SendMessageA(hTree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&tvis)));
}

TreeTextCompare ProbeTreeSortCompare() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TREEVIEW_CLASSES};
  ::InitCommonControlsEx(&icc);
  HWND hTree = ::CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 ::GetModuleHandleA(nullptr), nullptr);
  if (!hTree) return &::lstrcmpiW;
  // Case-insensitive: "a" equals "A" and goes after it. Case-sensitive: lower case sorts
  // first, so "a" goes before "A".
  InsertProbe(hTree, "A");
  HTREEITEM hLower = InsertProbe(hTree, "a");
  HTREEITEM hFirst =
      reinterpret_cast<HTREEITEM>(::SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  ::DestroyWindow(hTree);
  return hFirst == hLower ? &::lstrcmpW : &::lstrcmpiW;
}

// Sort keys compare as plain bytes, far cheaper than the collation call per comparison.
std::string SortKey(const std::wstring& strText, DWORD dwFlags) {
  int nBytes =
      ::LCMapStringW(::GetThreadLocale(), LCMAP_SORTKEY | dwFlags, strText.c_str(), -1, nullptr, 0);
  if (nBytes <= 0) return std::string();
  std::string strKey(static_cast<std::size_t>(nBytes), '\0');
  ::LCMapStringW(::GetThreadLocale(), LCMAP_SORTKEY | dwFlags, strText.c_str(), -1,
                 reinterpret_cast<LPWSTR>(strKey.data()), nBytes);
  return strKey;
}

struct NameOrder {
  std::vector<std::size_t> vecOrder;
  std::vector<char> vecEqualToPrevious;  // per position: same name as the one before it
};

// Indexes of vecNames in stable sorted order under pfnCompare (equal names keep their
// arrival order). Sorting by sort key is tried first; the result is accepted only if every
// neighbouring pair is in order under the control's own comparison, equal pairs in arrival
// order, which makes it exactly the stable sort. Otherwise the comparison sorts directly.
NameOrder StableSortedOrder(const std::vector<std::wstring>& vecNames, TreeTextCompare pfnCompare) {
  std::vector<std::size_t> vecOrder(vecNames.size());
  std::vector<char> vecEqual(vecNames.size(), 0);
  for (std::size_t i = 0; i < vecOrder.size(); ++i) vecOrder[i] = i;
  auto cmp = [&](std::size_t a, std::size_t b) {
    return pfnCompare(vecNames[a].c_str(), vecNames[b].c_str());
  };

  DWORD dwFlags = pfnCompare == &::lstrcmpiW ? NORM_IGNORECASE : 0;
  std::vector<std::string> vecKeys;
  vecKeys.reserve(vecNames.size());
  for (const std::wstring& strName : vecNames) vecKeys.push_back(SortKey(strName, dwFlags));
  std::stable_sort(vecOrder.begin(), vecOrder.end(),
                   [&](std::size_t a, std::size_t b) { return vecKeys[a] < vecKeys[b]; });
  bool bConfirmed = true;
  for (std::size_t i = 1; i < vecOrder.size() && bConfirmed; ++i) {
    int nCmp = cmp(vecOrder[i - 1], vecOrder[i]);
    bConfirmed = nCmp < 0 || (nCmp == 0 && vecOrder[i - 1] < vecOrder[i]);
    vecEqual[i] = nCmp == 0;
  }
  if (bConfirmed) return {std::move(vecOrder), std::move(vecEqual)};

  for (std::size_t i = 0; i < vecOrder.size(); ++i) vecOrder[i] = i;
  std::stable_sort(vecOrder.begin(), vecOrder.end(),
                   [&](std::size_t a, std::size_t b) { return cmp(a, b) < 0; });
  for (std::size_t i = 1; i < vecOrder.size(); ++i) {
    vecEqual[i] = cmp(vecOrder[i - 1], vecOrder[i]) == 0;
  }
  return {std::move(vecOrder), std::move(vecEqual)};
}

}  // namespace

TreeTextCompare GetTreeSortCompare() {
  static const TreeTextCompare s_pfnCompare = ProbeTreeSortCompare();
  return s_pfnCompare;
}

std::vector<SortedSlot> PlanSortedInsertion(const std::vector<std::wstring>& vecExisting,
                                            const std::vector<std::wstring>& vecAdded,
                                            TreeTextCompare pfnCompare) {
  auto cmp = [pfnCompare](const std::wstring& a, const std::wstring& b) {
    return pfnCompare(a.c_str(), b.c_str());
  };
  const std::size_t nExisting = vecExisting.size();

  // The control's scan stops at the first existing child that is not smaller than the new
  // name. The existing children need not be sorted, so search the running maximum, which is
  // monotone; where it first reaches the name, that child itself is the stopping one.
  std::vector<std::size_t> vecMaxAt(nExisting);
  for (std::size_t j = 0; j < nExisting; ++j) {
    vecMaxAt[j] =
        (j > 0 && cmp(vecExisting[j], vecExisting[vecMaxAt[j - 1]]) <= 0) ? vecMaxAt[j - 1] : j;
  }

  // Group of each new name, in final order: 3j = just before existing child j (3k: after
  // all of them), 3j + 2 = equal to existing child j, so directly after it. Earlier new
  // items never stop a later one's scan before its group: they are all smaller.
  std::vector<std::size_t> vecGroup(vecAdded.size());
  for (std::size_t i = 0; i < vecAdded.size(); ++i) {
    std::size_t nLow = 0, nHigh = nExisting;
    while (nLow < nHigh) {
      std::size_t nMid = nLow + (nHigh - nLow) / 2;
      if (cmp(vecAdded[i], vecExisting[vecMaxAt[nMid]]) <= 0) {
        nHigh = nMid;
      } else {
        nLow = nMid + 1;
      }
    }
    bool bEqual = nLow < nExisting && cmp(vecAdded[i], vecExisting[nLow]) == 0;
    vecGroup[i] = 3 * nLow + (bEqual ? 2 : 0);
  }

  auto [vecOrder, vecEqualToPrevious] = StableSortedOrder(vecAdded, pfnCompare);
  // Groups rise along the name order, except that names past an unsorted stretch of the
  // existing children may fall into an earlier group.
  auto byGroup = [&](std::size_t a, std::size_t b) { return vecGroup[a] < vecGroup[b]; };
  if (!std::is_sorted(vecOrder.begin(), vecOrder.end(), byGroup)) {
    std::stable_sort(vecOrder.begin(), vecOrder.end(), byGroup);
    for (std::size_t i = 1; i < vecOrder.size(); ++i) {
      vecEqualToPrevious[i] = cmp(vecAdded[vecOrder[i - 1]], vecAdded[vecOrder[i]]) == 0;
    }
  }

  // Runs of equal names, in arrival order after the stable sort. Each one lands directly
  // after the first equal child it meets: in a group of its own the first arrival keeps the
  // lead and the rest follow it newest first; after an equal existing child all of them do.
  for (std::size_t nStart = 0; nStart < vecOrder.size();) {
    std::size_t nEnd = nStart + 1;
    std::size_t nGroup = vecGroup[vecOrder[nStart]];
    while (nEnd < vecOrder.size() && vecGroup[vecOrder[nEnd]] == nGroup &&
           (nGroup % 3 == 2 || vecEqualToPrevious[nEnd])) {
      ++nEnd;
    }
    std::size_t nKeep = nGroup % 3 == 2 ? 0 : 1;
    std::reverse(vecOrder.begin() + static_cast<std::ptrdiff_t>(nStart + nKeep),
                 vecOrder.begin() + static_cast<std::ptrdiff_t>(nEnd));
    nStart = nEnd;
  }

  std::vector<SortedSlot> vecSlots;
  vecSlots.reserve(nExisting + vecAdded.size());
  std::size_t nNext = 0;
  auto emitGroupsUpTo = [&](std::size_t nLimit) {
    while (nNext < vecOrder.size() && vecGroup[vecOrder[nNext]] <= nLimit) {
      vecSlots.push_back({false, vecOrder[nNext++]});
    }
  };
  for (std::size_t j = 0; j < nExisting; ++j) {
    emitGroupsUpTo(3 * j);
    vecSlots.push_back({true, j});
    emitGroupsUpTo(3 * j + 2);
  }
  emitGroupsUpTo(3 * nExisting);
  return vecSlots;
}

}  // namespace qm::dirpicker
