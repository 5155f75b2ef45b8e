#pragma once
// Bulk listing for the tree control: the result of one TVI_SORT insertion per name, built
// with positioned insertions and redrawing suspended.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <string>
#include <vector>

namespace qm::dirpicker {

// Inserts vecNames (in the order the directory search returned them) under hParent (null:
// the top level) exactly where one sorted insertion per name would have put them, with
// the given images. Returns the number of items inserted; pvecCreated (if given) receives
// the new items in the order the control created them.
std::size_t InsertChildrenSorted(HWND hTree, HTREEITEM hParent,
                                 const std::vector<std::string>& vecNames, int nImage,
                                 int nSelectedImage, std::vector<HTREEITEM>* pvecCreated = nullptr);

}  // namespace qm::dirpicker
