// The bulk listing must leave a parent's children in exactly the order that one TVI_SORT
// insertion per name gives on the real control.
#include "dirpicker/sorted_insert.h"

#include <gtest/gtest.h>

#include <list>
#include <random>
#include <string>
#include <vector>

#include "dirpicker/sort_order.h"
#include "framework/controls.h"
#include "tests/dirpicker/picker_test_support.h"

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
    return qm::fw::CTreeCtrl(m_hTree).InsertItem(hParent, hAfter, strText.c_str(), 0, 0);
  }

  std::vector<std::string> Children(HTREEITEM hParent) {
    return qm::test::TreeChildren(m_hTree, hParent);
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
    EXPECT_EQ(qm::dirpicker::InsertChildrenSorted(m_hTree, hByBulk, vecNames, 0, 1),
              vecNames.size());
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

// The control's rule, one name at a time: before the first child that compares greater,
// after the first that compares equal, else last.
std::vector<qm::dirpicker::SortedSlot> InsertOneByOne(const std::vector<std::wstring>& vecExisting,
                                                      const std::vector<std::wstring>& vecAdded,
                                                      qm::dirpicker::TreeTextCompare pfnCompare) {
  std::list<qm::dirpicker::SortedSlot> children;
  for (std::size_t i = 0; i < vecExisting.size(); ++i) children.push_back({true, i});
  auto text = [&](const qm::dirpicker::SortedSlot& slot) {
    return (slot.m_bExisting ? vecExisting : vecAdded)[slot.m_nIndex].c_str();
  };
  for (std::size_t i = 0; i < vecAdded.size(); ++i) {
    auto it = children.begin();
    for (; it != children.end(); ++it) {
      int nCmp = pfnCompare(vecAdded[i].c_str(), text(*it));
      if (nCmp == 0) ++it;
      if (nCmp <= 0) break;
    }
    children.insert(it, {false, i});
  }
  return {children.begin(), children.end()};
}

// Collations whose sort keys disagree with them (so the plan must notice and fall back),
// and one under which many different names are equal.
int WINAPI CompareReversed(LPCWSTR a, LPCWSTR b) {
  return ::lstrcmpW(b, a);
}
int WINAPI CompareByLength(LPCWSTR a, LPCWSTR b) {
  int nA = ::lstrlenW(a), nB = ::lstrlenW(b);
  return nA < nB ? -1 : nA > nB ? 1 : 0;
}

TEST(SortedInsertPlan, MatchesOneByOneInsertionUnderAnyCollation) {
  const std::wstring strAlphabet = L"aAbB-_. 1\u00e9";
  std::mt19937 rng(777);
  auto randomNames = [&](std::size_t nCount) {
    std::vector<std::wstring> vec;
    for (std::size_t i = 0; i < nCount; ++i) {
      std::wstring s;
      std::size_t nLen = 1 + rng() % 4;
      for (std::size_t c = 0; c < nLen; ++c) s += strAlphabet[rng() % strAlphabet.size()];
      vec.push_back(s);
    }
    return vec;
  };
  for (qm::dirpicker::TreeTextCompare pfn :
       {qm::dirpicker::TreeTextCompare{&::lstrcmpW}, qm::dirpicker::TreeTextCompare{&::lstrcmpiW},
        qm::dirpicker::TreeTextCompare{&CompareReversed},
        qm::dirpicker::TreeTextCompare{&CompareByLength}}) {
    for (int nRound = 0; nRound < 40; ++nRound) {
      std::vector<std::wstring> vecExisting = randomNames(rng() % 6);
      std::vector<std::wstring> vecAdded = randomNames(rng() % 80);
      ASSERT_EQ(qm::dirpicker::PlanSortedInsertion(vecExisting, vecAdded, pfn),
                InsertOneByOne(vecExisting, vecAdded, pfn))
          << "round " << nRound;
    }
  }
}

TEST_F(SortedInsertTest, TopLevelListingWhenNoParentIsGiven) {
  Insert(TVI_ROOT, TVI_LAST, "m");
  qm::dirpicker::InsertChildrenSorted(m_hTree, nullptr, {"z", "a", "n"}, 0, 1);
  EXPECT_EQ(Children(TVI_ROOT), (std::vector<std::string>{"a", "m", "n", "z"}));
}

}  // namespace
