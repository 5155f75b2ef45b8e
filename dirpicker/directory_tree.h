#pragma once
// The directory tree of the Select Directory dialog. It stands for one directory: a chain
// of open-folder items from the drive down to it, and under the deepest one that
// directory's subdirectories as closed-folder items. A double-click descends into a listed
// item or climbs back to a chain item; each move posts WM_DIRTREE_CHANGED to the parent.
// ShowCurrentDirectory (re)builds it at the process's current directory.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <string>
#include <vector>

#include "framework/controls.h"

namespace qm::dirpicker {

class CDirectoryTree : public qm::fw::CTreeCtrl {
 public:
  CDirectoryTree() = default;
  ~CDirectoryTree() override = default;

  std::string GetPath() const { return m_strPath; }

  // 1 when rebuilt, 0 when the current directory cannot be read (after telling the user).
  int ShowCurrentDirectory();
  void ListSubdirectories(std::string strPath, HTREEITEM hParent);
  void SetPathFromItem(HTREEITEM hItem);
  void DeleteChildBranch(HTREEITEM hItem);
  void DeleteSiblings(HTREEITEM hItem);

  void OnDblclk(NMHDR* pNotify, LRESULT* pResult);

  std::string m_strPath;
  // 'a' (lower case) means no drive chosen yet: the first display then switches no drive.
  char m_chDrive = 'a';
  int m_nClosedImage = 0;
  int m_nClosedSelectedImage = 1;
  int m_nOpenImage = 2;
  int m_nOpenSelectedImage = 3;

  static const qm::fw::MessageMap kMessageMap;
  const qm::fw::MessageMap* GetMessageMap() const override { return &kMessageMap; }

 private:
  HTREEITEM InsertChainItem(HTREEITEM hParent, const char* pszText);
  // Deletes the items of the last listing, oldest first (see DeleteSiblings).
  void DeleteListed(HTREEITEM hKeep);
  // Whether the last listing hangs in the branch of hItem (hItem itself included).
  bool ListingIsBelow(HTREEITEM hItem) const;

  // The last listing: its parent and its items in the order the control created them.
  HTREEITEM m_hListedParent = nullptr;
  std::vector<HTREEITEM> m_vecListed;
};

}  // namespace qm::dirpicker
