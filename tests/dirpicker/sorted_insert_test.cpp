// The bulk listing must leave a parent's children in exactly the order that one TVI_SORT
// insertion per name gives on the real control.
#include "dirpicker/sorted_insert.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

class SortedInsertTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TREEVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    m_hTree = ::CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(m_hTree, nullptr);
  }
  void TearDown() override { ::DestroyWindow(m_hTree); }

  HTREEITEM Insert(HTREEITEM hParent, HTREEITEM hAfter, const std::string& strText) {
    TVINSERTSTRUCTA tvis{};
    tvis.hParent = hParent;
    tvis.hInsertAfter = hAfter;
    tvis.item.mask = TVIF_TEXT;
    tvis.item.pszText = const_cast<char*>(strText.c_str());
    return reinterpret_cast<HTREEITEM>(
        ::SendMessageA(m_hTree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&tvis)));
  }

  std::vector<std::string> Children(HTREEITEM hParent) {
    std::vector<std::string> vec;
    auto next = [&](UINT nCode, HTREEITEM h) {
      return reinterpret_cast<HTREEITEM>(
          ::SendMessageA(m_hTree, TVM_GETNEXTITEM, nCode, reinterpret_cast<LPARAM>(h)));
    };
    for (HTREEITEM h = next(TVGN_CHILD, hParent); h; h = next(TVGN_NEXT, h)) {
      char szText[300] = "";
      TVITEMA tvi{};
      tvi.mask = TVIF_TEXT;
      tvi.hItem = h;
      tvi.pszText = szText;
      tvi.cchTextMax = sizeof(szText);
      ::SendMessageA(m_hTree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
      vec.push_back(szText);
    }
    return vec;
  }

  // Two parents given the same existing children (inserted as listed, unsorted), then the
  // same new names: one sorted insertion each under the first, the bulk listing under the
  // second. Returns both child orders.
  std::pair<std::vector<std::string>, std::vector<std::string>> Compare(
      const std::vector<std::string>& vecExisting, const std::vector<std::string>& vecNames) {
    HTREEITEM hBySort = Insert(TVI_ROOT, TVI_LAST, "by-sort");
    HTREEITEM hByBulk = Insert(TVI_ROOT, TVI_LAST, "by-bulk");
    for (const std::string& s : vecExisting) {
      Insert(hBySort, TVI_LAST, s);
      Insert(hByBulk, TVI_LAST, s);
    }
    for (const std::string& s : vecNames) Insert(hBySort, TVI_SORT, s);
    EXPECT_EQ(qm::InsertChildrenSorted(m_hTree, hByBulk, vecNames, 0, 1), vecNames.size());
    return {Children(hBySort), Children(hByBulk)};
  }

  HWND m_hTree = nullptr;
};

const std::vector<std::string> kTrickyNames = {
    "beta", "Beta",  "BETA", "beta",  "b\xe9ta", "B\xc9TA", "bet", "bet-a", "beta-", "be ta",
    "...",  "_x",    "~x",   "!x",    "10",      "9",       "1",   "01",    "a1",    "a10",
    "a2",   "co-op", "coop", "co op", "\xfc",    "u",       "z",   "\xff",  "\x80",  "\xe6",
    "ae",   "AE",    "\xdf", "ss",    "Ss",      "beta",    "x.y", "x_y",   "x;y",   "Beta"};

TEST_F(SortedInsertTest, TrickyNamesIntoEmptyParentMatchTheControlsSortedInsertion) {
  auto [vecExpected, vecActual] = Compare({}, kTrickyNames);
  EXPECT_EQ(vecActual, vecExpected);
}

TEST_F(SortedInsertTest, ExistingChildrenSortedOrNotMatchTheControl) {
  // The collapsed-chain cases: a chain child among the new names, an earlier listing of
  // the same names (each name then shows twice), and children in no particular order.
  for (const std::vector<std::string>& vecExisting :
       {std::vector<std::string>{"Beta"}, std::vector<std::string>{"be ta", "bet", "Beta", "z"},
        std::vector<std::string>{"z", "beta", "...", "BETA", "a2"}}) {
    auto [vecExpected, vecActual] = Compare(vecExisting, kTrickyNames);
    EXPECT_EQ(vecActual, vecExpected);
  }
  auto [vecOnce, unused] = Compare({}, kTrickyNames);
  (void)unused;
  auto [vecExpected, vecActual] = Compare(vecOnce, kTrickyNames);
  EXPECT_EQ(vecActual, vecExpected);
}

TEST_F(SortedInsertTest, RandomNamesWithManyCollisionsMatchTheControl) {
  // A small alphabet with case pairs, punctuation and high bytes makes names that compare
  // equal or nearly so, which is where the control's placement rules matter.
  const std::string strAlphabet = "aAbB-_. 1\xe9\xc9";
  std::mt19937 rng(12345);
  for (int nRound = 0; nRound < 20; ++nRound) {
    auto randomNames = [&](std::size_t nCount) {
      std::vector<std::string> vec;
      for (std::size_t i = 0; i < nCount; ++i) {
        std::string s;
        std::size_t nLen = 1 + rng() % 3;
        for (std::size_t c = 0; c < nLen; ++c) s += strAlphabet[rng() % strAlphabet.size()];
        vec.push_back(s);
      }
      return vec;
    };
    std::vector<std::string> vecExisting = randomNames(rng() % 4);
    auto [vecExpected, vecActual] = Compare(vecExisting, randomNames(60));
    ASSERT_EQ(vecActual, vecExpected) << "round " << nRound;
    ::SendMessageA(m_hTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  }
}

TEST_F(SortedInsertTest, TopLevelListingWhenNoParentIsGiven) {
  Insert(TVI_ROOT, TVI_LAST, "m");
  qm::InsertChildrenSorted(m_hTree, nullptr, {"z", "a", "n"}, 0, 1);
  EXPECT_EQ(Children(TVI_ROOT), (std::vector<std::string>{"a", "m", "n", "z"}));
}

}  // namespace
