// Listing speed of the directory tree: our listing (directory search, order computed as the
// control's sorted insertion would place the items, positioned insertion with redrawing
// suspended) against one sorted insertion (TVI_SORT) per subdirectory, and the descent and
// the climb that delete a listing, on folders of 1,000, 20,000 and 100,000 subdirectories
// made in the temporary folder.
//
//   bench_dirtree.exe [max-count [prepared-root [sorted-limit]]]    (run by scripts/bench.sh)
//
// sorted-limit (default 20,000) is the largest folder that also gets the TVI_SORT comparison,
// which takes minutes at 20,000; 0 leaves it out.
//
// Wine looks a new name up by reading the whole directory, so creating 100,000
// subdirectories through the Win32 calls takes many minutes there. scripts/bench.sh makes
// them beforehand on the host under prepared-root\<count>; without it the program makes them
// itself.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dirpicker/directory_tree.h"
#include "dirpicker/subdir_search.h"

namespace {

// Names of mixed case, digits and punctuation, in no particular order.
std::string MakeName(std::size_t n) {
  static const char kChars[] = "abcXYZ019_-.";
  unsigned long long x = (n + 1) * 0x9E3779B97F4A7C15ull;
  std::string s;
  for (int i = 0; i < 6; ++i, x >>= 5) s += kChars[x % (sizeof(kChars) - 1)];
  char szSuffix[16];
  std::snprintf(szSuffix, sizeof(szSuffix), "%zu", n);
  return s + szSuffix;
}

HWND CreateTree() {
  return ::CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP | WS_VISIBLE, 0, 0, 300, 400, nullptr,
                           nullptr, ::GetModuleHandleA(nullptr), nullptr);
}

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

std::size_t CountChildren(const qm::fw::CTreeCtrl& tree, HTREEITEM hParent) {
  std::size_t nCount = 0;
  for (HTREEITEM h = tree.GetNextItem(hParent, TVGN_CHILD); h; h = tree.GetNextItem(h, TVGN_NEXT)) {
    ++nCount;
  }
  return nCount;
}

// The directory tree's own listing under a chain item; then the first step of a descent
// into the middle item, which removes all its siblings; then, with the folder listed again
// under that item, the first step of a climb back to the top, which removes the listing.
double TimeOurListing(const std::string& strDir, std::size_t* pnItems, double* pdDescent,
                      double* pdClimb) {
  HWND hTree = CreateTree();
  qm::dirpicker::CDirectoryTree tree;
  tree.SubclassWindow(hTree);
  HTREEITEM hChain = tree.InsertItem(TVI_ROOT, TVI_LAST, "C:", 2, 3);
  auto t0 = std::chrono::steady_clock::now();
  tree.ListSubdirectories(strDir, hChain);
  double dSeconds = Seconds(t0);
  *pnItems = CountChildren(tree, hChain);

  HTREEITEM hMiddle = tree.GetNextItem(hChain, TVGN_CHILD);
  for (std::size_t i = 0; i < *pnItems / 2; ++i) hMiddle = tree.GetNextItem(hMiddle, TVGN_NEXT);
  t0 = std::chrono::steady_clock::now();
  tree.DeleteSiblings(hMiddle);
  *pdDescent = Seconds(t0);
  // The descent leaves the chain item with the one item descended into.
  if (CountChildren(tree, hChain) != 1 || tree.GetNextItem(hChain, TVGN_CHILD) != hMiddle) {
    std::fprintf(stderr, "descent left other items beside the one descended into\n");
    *pdDescent = -1;
  }
  tree.ListSubdirectories(strDir, hMiddle);
  t0 = std::chrono::steady_clock::now();
  tree.DeleteChildBranch(hChain);
  *pdClimb = Seconds(t0);
  if (tree.GetNextItem(hChain, TVGN_CHILD) != nullptr) {
    std::fprintf(stderr, "climb left items below the top\n");
    *pdClimb = -1;
  }
  ::DestroyWindow(hTree);
  return dSeconds;
}

double TimeSortedInsertion(const std::string& strDir, std::size_t* pnItems) {
  HWND hTree = CreateTree();
  const qm::fw::CTreeCtrl tree(hTree);
  HTREEITEM hChain = tree.InsertItem(TVI_ROOT, TVI_LAST, "C:", 2, 3);
  auto t0 = std::chrono::steady_clock::now();
  std::vector<std::string> vecNames;
  qm::dirpicker::CollectSubdirectories(strDir.c_str(), &vecNames);
  *pnItems = 0;
  for (const std::string& strName : vecNames) {
    if (tree.InsertItem(hChain, TVI_SORT, strName.c_str(), 0, 1)) ++*pnItems;
  }
  tree.Expand(hChain, TVE_EXPAND);
  double dSeconds = Seconds(t0);
  ::DestroyWindow(hTree);
  return dSeconds;
}

// The least a descent among nCount siblings can cost in a control that keeps its items in a
// pointer table (comctl32's DPA, as Wine's does): finding and removing nCount pointers, oldest
// first, with nothing else of the control around them.
double TimeTableFloor(std::size_t nCount) {
  HDPA hTable = ::DPA_Create(16);
  std::vector<int> vecItems(nCount + 1);
  for (int& nItem : vecItems) ::DPA_InsertPtr(hTable, INT_MAX, &nItem);
  auto t0 = std::chrono::steady_clock::now();
  for (std::size_t i = 1; i < vecItems.size(); ++i) {
    ::DPA_DeletePtr(hTable, ::DPA_GetPtrIndex(hTable, &vecItems[i]));
  }
  double dSeconds = Seconds(t0);
  ::DPA_Destroy(hTable);
  return dSeconds;
}

bool MakeFolder(const std::string& strDir, std::size_t nFrom, std::size_t nTo) {
  for (std::size_t n = nFrom; n < nTo; ++n) {
    std::string strSub = strDir + "\\" + MakeName(n);
    if (!::CreateDirectoryA(strSub.c_str(), nullptr)) {
      std::fprintf(stderr, "cannot create %s (error %lu)\n", strSub.c_str(), ::GetLastError());
      return false;
    }
  }
  return true;
}

void RemoveFolder(const std::string& strDir, std::size_t nCount) {
  for (std::size_t n = 0; n < nCount; ++n) {
    ::RemoveDirectoryA((strDir + "\\" + MakeName(n)).c_str());
  }
  ::RemoveDirectoryA(strDir.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t nMax = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
  const char* pszPrepared = argc > 2 && argv[2][0] != '\0' ? argv[2] : nullptr;
  std::size_t nSortedLimit = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 20000;
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TREEVIEW_CLASSES};
  ::InitCommonControlsEx(&icc);

  char szTemp[MAX_PATH];
  ::GetTempPathA(sizeof(szTemp), szTemp);
  char szDir[MAX_PATH];
  std::snprintf(szDir, sizeof(szDir), "%sqm-bench-dirtree-%lu", szTemp, ::GetCurrentProcessId());
  std::string strDir = szDir;
  if (!::CreateDirectoryA(strDir.c_str(), nullptr)) {
    std::fprintf(stderr, "cannot create %s\n", strDir.c_str());
    return 1;
  }

  std::printf("%10s %12s %12s %12s %12s %14s %8s\n", "subdirs", "listing s", "descent s", "climb s",
              "table floor", "TVI_SORT s", "ratio");
  std::size_t nMade = 0;
  int nStatus = 0;
  for (std::size_t nCount : {std::size_t{1000}, std::size_t{20000}, std::size_t{100000}}) {
    if (nCount > nMax) break;
    std::string strFolder = strDir;
    if (pszPrepared) {
      strFolder = std::string(pszPrepared) + "\\" + std::to_string(nCount);
    } else {
      if (!MakeFolder(strDir, nMade, nCount)) {
        nStatus = 1;
        break;
      }
      nMade = nCount;
    }
    std::size_t nListed = 0, nSorted = 0;
    double dDescent = 0, dClimb = 0;
    double dOurs = TimeOurListing(strFolder, &nListed, &dDescent, &dClimb);
    if (nListed != nCount || dDescent < 0 || dClimb < 0) {
      std::fprintf(stderr, "listed %zu of %zu\n", nListed, nCount);
      nStatus = 1;
    }
    double dFloor = TimeTableFloor(nCount);
    if (nCount <= nSortedLimit) {
      double dSorted = TimeSortedInsertion(strFolder, &nSorted);
      std::printf("%10zu %12.3f %12.3f %12.3f %12.3f %14.3f %7.0fx\n", nCount, dOurs, dDescent,
                  dClimb, dFloor, dSorted, dSorted / dOurs);
    } else {
      std::printf("%10zu %12.3f %12.3f %12.3f %12.3f %14s %8s\n", nCount, dOurs, dDescent, dClimb,
                  dFloor, "-", "-");
    }
    std::fflush(stdout);
  }
  RemoveFolder(strDir, nMade);
  return nStatus;
}
