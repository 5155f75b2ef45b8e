#pragma once
// Where the tree control's own sorted insertion (TVI_SORT) would put a batch of new items,
// computed in O(n log n) instead of the control's linear scan per item.
//
// The control inserts each new item before the first child (in the current order) that
// compares greater, or directly after the first child that compares equal, or last. Our
// listing must produce exactly that order, including for a parent that already has children
// and for names that compare equal but differ in their bytes.
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace qm::dirpicker {

// The control compares its items' wide texts; the collation is the control's own.
using TreeTextCompare = int(WINAPI*)(LPCWSTR, LPCWSTR);

// The comparison the tree control in this process uses for TVI_SORT, found once by asking a
// hidden control to sort two names that differ only in case.
TreeTextCompare GetTreeSortCompare();

// One slot of the resulting child order: an existing child or a new item, by index.
struct SortedSlot {
  bool m_bExisting;
  std::size_t m_nIndex;
  bool operator==(const SortedSlot&) const = default;
};

// The children of one parent after inserting vecAdded, in this order, one at a time with
// TVI_SORT into a parent that holds vecExisting (in its current order, sorted or not).
std::vector<SortedSlot> PlanSortedInsertion(const std::vector<std::wstring>& vecExisting,
                                            const std::vector<std::wstring>& vecAdded,
                                            TreeTextCompare pfnCompare);

}  // namespace qm::dirpicker
