// The directory tree on the real tree control under Wine, over real temporary directories:
// the chain and listing it shows, descending and climbing by double-click, what it posts to
// its parent, and its failure boxes.
#include "dirpicker/directory_tree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "res/resource.h"
#include "tests/dirpicker/picker_test_support.h"

namespace qm::test {
namespace {

using dirpicker::CDirectoryTree;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A parent that reflects its children's notifications, as the dialog does.
class CHost : public fw::CWnd {};

class DirectoryTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "QmTreeHost";
    ::RegisterClassA(&wc);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TREEVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    m_hParent = ::CreateWindowExA(0, "QmTreeHost", "host", WS_POPUP | WS_VISIBLE, 0, 0, 300, 500,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(m_host.SubclassWindow(m_hParent));
    m_hTree = ::CreateWindowExA(0, WC_TREEVIEWA, "Tree1", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0,
                                280, 480, m_hParent, reinterpret_cast<HMENU>(IDC_DIR_TREE),
                                wc.hInstance, nullptr);
    ASSERT_TRUE(m_tree.SubclassWindow(m_hTree));

    // top\mid holds subdirectories of every kind, files and a nested level.
    m_tmp.MakeDir("top");
    m_tmp.MakeDir("top\\mid");
    m_tmp.MakeDir("top\\mid\\beta");
    m_tmp.MakeDir("top\\mid\\beta\\gamma");
    m_tmp.MakeDir("top\\mid\\Alpha");
    m_tmp.MakeHostDir("top\\mid\\...");
    m_tmp.MakeDir("top\\mid\\hidden", FILE_ATTRIBUTE_HIDDEN);
    m_tmp.MakeFile("top\\mid\\file.txt");
    m_tmp.MakeFile("top\\mid\\beta\\notes");
  }
  void TearDown() override {
    ::DestroyWindow(m_hParent);
    TakePostedTreeChanges(nullptr);
  }

  // The double-click notification as the control sends it to its parent; the result is the
  // reflected handler's.
  LRESULT DoubleClick() {
    NMHDR nm{m_hTree, IDC_DIR_TREE, static_cast<UINT>(NM_DBLCLK)};
    return ::SendMessageA(m_hParent, WM_NOTIFY, IDC_DIR_TREE, reinterpret_cast<LPARAM>(&nm));
  }
  void Select(HTREEITEM hItem) {
    ::SendMessageA(m_hTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hItem));
  }
  // The chain of open-folder items from the top, each with images 2/3.
  std::vector<HTREEITEM> ChainItems() {
    std::vector<HTREEITEM> vec;
    for (HTREEITEM h = TreeNext(m_hTree, TVGN_ROOT, nullptr); h;
         h = TreeNext(m_hTree, TVGN_CHILD, h)) {
      int nSelected = -1;
      if (TreeImage(m_hTree, h, &nSelected) != 2 || nSelected != 3) break;
      vec.push_back(h);
    }
    return vec;
  }
  std::vector<std::string> Chain() {
    std::vector<std::string> vec;
    for (HTREEITEM h : ChainItems()) vec.push_back(TreeText(m_hTree, h));
    return vec;
  }
  HTREEITEM Deepest() { return ChainItems().empty() ? nullptr : ChainItems().back(); }
  std::vector<std::string> Listing() { return TreeChildren(m_hTree, Deepest()); }
  HTREEITEM Child(HTREEITEM hParent, const std::string& strText) {
    for (HTREEITEM h = TreeNext(m_hTree, TVGN_CHILD, hParent); h;
         h = TreeNext(m_hTree, TVGN_NEXT, h)) {
      if (TreeText(m_hTree, h) == strText) return h;
    }
    return nullptr;
  }
  // The path components as the system writes them: the drive ("C:") and each folder.
  static std::vector<std::string> Components(const std::string& strPath) {
    std::vector<std::string> vec;
    std::string strPart;
    for (char ch : strPath + "\\") {
      if (ch != '\\') {
        strPart += ch;
      } else if (!strPart.empty()) {
        vec.push_back(strPart);
        strPart.clear();
      }
    }
    return vec;
  }

  CCurrentDirectoryGuard m_cwd;
  CTempTree m_tmp;
  CBoxRecorder m_recorder;
  CHost m_host;
  CDirectoryTree m_tree;
  HWND m_hParent = nullptr;
  HWND m_hTree = nullptr;
};

TEST_F(DirectoryTreeTest, ShowsTheNestedCurrentDirectoryAsAChainWithItsSubdirectories) {
  ASSERT_TRUE(::SetCurrentDirectoryA(m_tmp.Path("top\\mid").c_str()));
  std::string strCurrent = CurrentDirectory();

  EXPECT_EQ(m_tree.ShowCurrentDirectory(), 1);
  EXPECT_EQ(m_tree.GetPath(), strCurrent);
  EXPECT_EQ(m_tree.m_chDrive, strCurrent[0]);
  EXPECT_EQ(Chain(), Components(strCurrent));
  // Directories only, "." and ".." never, "..." and hidden ones too, in the control's order.
  EXPECT_THAT(Listing(), ElementsAre("...", "Alpha", "beta", "hidden"));
  for (HTREEITEM h = TreeNext(m_hTree, TVGN_CHILD, Deepest()); h;
       h = TreeNext(m_hTree, TVGN_NEXT, h)) {
    int nSelected = -1;
    EXPECT_EQ(TreeImage(m_hTree, h, &nSelected), 0);
    EXPECT_EQ(nSelected, 1);
  }
  EXPECT_EQ(TreeNext(m_hTree, TVGN_CARET, nullptr), Deepest());
  for (HTREEITEM h : ChainItems()) EXPECT_TRUE(TreeExpanded(m_hTree, h));
  // Only double-clicks tell the parent.
  EXPECT_EQ(TakePostedTreeChanges(m_hParent), 0);
  EXPECT_THAT(m_recorder.m_boxes, IsEmpty());
}

TEST_F(DirectoryTreeTest, DescendsIntoAListedItemAndClimbsBackToAnAncestor) {
  ASSERT_TRUE(::SetCurrentDirectoryA(m_tmp.Path("top\\mid").c_str()));
  std::string strMid = CurrentDirectory();
  m_tree.ShowCurrentDirectory();

  Select(Child(Deepest(), "beta"));
  EXPECT_EQ(DoubleClick(), 1);
  EXPECT_EQ(m_tree.GetPath(), strMid + "\\beta");
  std::vector<std::string> vecExpected = Components(strMid);
  vecExpected.push_back("beta");
  EXPECT_EQ(Chain(), vecExpected);
  // The other subdirectories are gone; beta's own are listed (its file is not).
  EXPECT_THAT(TreeChildren(m_hTree, ChainItems()[ChainItems().size() - 2]), ElementsAre("beta"));
  EXPECT_THAT(Listing(), ElementsAre("gamma"));
  EXPECT_EQ(TakePostedTreeChanges(m_hParent), 1);
  // The process does not follow.
  EXPECT_EQ(CurrentDirectory(), strMid);

  // Climb to "top", two levels up: everything below it goes, its own listing comes.
  std::vector<HTREEITEM> vecChain = ChainItems();
  Select(vecChain[vecChain.size() - 3]);
  EXPECT_EQ(DoubleClick(), 1);
  std::string strTop = strMid.substr(0, strMid.rfind('\\'));
  EXPECT_EQ(m_tree.GetPath(), strTop);
  EXPECT_EQ(Chain(), Components(strTop));
  EXPECT_THAT(Listing(), ElementsAre("mid"));
  EXPECT_EQ(TakePostedTreeChanges(m_hParent), 1);
  EXPECT_THAT(m_recorder.m_boxes, IsEmpty());
}

TEST_F(DirectoryTreeTest, DeepestItemIsLeftAloneWithItsListingAndSearchedAgainWithout) {
  ASSERT_TRUE(::SetCurrentDirectoryA(m_tmp.Path("top\\mid").c_str()));
  m_tree.ShowCurrentDirectory();
  std::string strPath = m_tree.GetPath();

  // With its listing shown: nothing changes, nothing is posted, still handled.
  m_tmp.MakeDir("top\\mid\\late");
  EXPECT_EQ(DoubleClick(), 1);
  EXPECT_THAT(Listing(), ElementsAre("...", "Alpha", "beta", "hidden"));
  EXPECT_EQ(TakePostedTreeChanges(m_hParent), 0);

  // A directory without subdirectories is searched again: new ones appear.
  Select(Child(Deepest(), "Alpha"));
  DoubleClick();
  EXPECT_THAT(Listing(), IsEmpty());
  EXPECT_EQ(TakePostedTreeChanges(m_hParent), 1);
  m_tmp.MakeDir("top\\mid\\Alpha\\new2");
  m_tmp.MakeDir("top\\mid\\Alpha\\New1");
  EXPECT_EQ(DoubleClick(), 1);
  EXPECT_EQ(m_tree.GetPath(), strPath + "\\Alpha");
  EXPECT_THAT(Listing(), ElementsAre("New1", "new2"));
  EXPECT_EQ(TakePostedTreeChanges(m_hParent), 1);
}

TEST_F(DirectoryTreeTest, DriveRootShowsOneChainItemAndClimbingToItSearchesTheRoot) {
  m_tmp.MakeDir("root");
  m_tmp.MakeDir("root\\one");
  m_tmp.MakeDir("root\\one\\deep");
  m_tmp.MakeDir("root\\Two");
  CWineDrive drive('S', HostPath(m_tmp.Path("root")));
  ASSERT_TRUE(drive.Ok());
  ASSERT_TRUE(::SetCurrentDirectoryA("S:\\"));

  m_tree.ShowCurrentDirectory();
  EXPECT_EQ(m_tree.GetPath(), "S:\\");
  EXPECT_EQ(m_tree.m_chDrive, 'S');
  EXPECT_THAT(Chain(), ElementsAre("S:"));
  EXPECT_THAT(Listing(), ElementsAre("one", "Two"));

  Select(Child(Deepest(), "one"));
  DoubleClick();
  EXPECT_EQ(m_tree.GetPath(), "S:\\one");
  EXPECT_THAT(Listing(), ElementsAre("deep"));

  // The drive item gives "S:" without a backslash; its search must still be the root's,
  // not the drive's current directory.
  ASSERT_TRUE(::SetCurrentDirectoryA("S:\\one"));
  Select(ChainItems().front());
  EXPECT_EQ(DoubleClick(), 1);
  EXPECT_EQ(m_tree.GetPath(), "S:");
  EXPECT_THAT(Chain(), ElementsAre("S:"));
  EXPECT_THAT(Listing(), ElementsAre("one", "Two"));
  EXPECT_EQ(TakePostedTreeChanges(m_hParent), 2);
}

TEST_F(DirectoryTreeTest, UnsearchableDirectoryShowsTheDebugBoxAndStaysUnexpanded) {
  ASSERT_TRUE(::SetCurrentDirectoryA(m_tmp.Path("top\\mid").c_str()));
  m_tree.ShowCurrentDirectory();
  std::string strPath = m_tree.GetPath();

  // Gone since it was listed: the search cannot start.
  m_tmp.Remove("top\\mid\\Alpha");
  HTREEITEM hAlpha = Child(Deepest(), "Alpha");
  Select(hAlpha);
  EXPECT_EQ(DoubleClick(), 1);
  ASSERT_EQ(m_recorder.m_boxes.size(), 1u);
  EXPECT_EQ(m_recorder.m_boxes[0].strText, "FindFirstFile() returned INVALID_HANDLE_VALUE");
  EXPECT_EQ(m_recorder.m_boxes[0].strCaption, "DEBUG");
  EXPECT_EQ(m_recorder.m_boxes[0].dwStyle, static_cast<UINT>(MB_OK));
  EXPECT_EQ(m_recorder.m_boxes[0].hOwner, m_hTree);
  // The path has moved on and the parent was told.
  EXPECT_EQ(m_tree.GetPath(), strPath + "\\Alpha");
  EXPECT_EQ(TakePostedTreeChanges(m_hParent), 1);
  EXPECT_EQ(TreeNext(m_hTree, TVGN_CHILD, hAlpha), nullptr);
  EXPECT_FALSE(TreeExpanded(m_hTree, hAlpha));
}

TEST_F(DirectoryTreeTest, MouseDoubleClicksReachTheTreeThroughItsParent) {
  ASSERT_TRUE(::SetCurrentDirectoryA(m_tmp.Path("top\\mid").c_str()));
  m_tree.ShowCurrentDirectory();
  std::string strMid = m_tree.GetPath();

  // On an item: the control's own notice, reflected; handled, so the control's own toggling
  // does not collapse the item that the descent has just expanded.
  HTREEITEM hBeta = Child(Deepest(), "beta");
  Select(hBeta);
  RECT rc{};
  std::memcpy(&rc, &hBeta, sizeof(hBeta));  // the message takes the item in the rectangle
  ASSERT_TRUE(::SendMessageA(m_hTree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rc)));
  LPARAM lPoint = MAKELPARAM(rc.left + 2, (rc.top + rc.bottom) / 2);
  ::SendMessageA(m_hTree, WM_LBUTTONDBLCLK, MK_LBUTTON, lPoint);
  EXPECT_EQ(m_tree.GetPath(), strMid + "\\beta");
  EXPECT_TRUE(TreeExpanded(m_hTree, hBeta));
  EXPECT_THAT(Listing(), ElementsAre("gamma"));
  EXPECT_EQ(TakePostedTreeChanges(m_hParent), 1);
}

TEST_F(DirectoryTreeTest, DoubleClickOnAnEmptyTreeTouchesNothing) {
  // As after a drive that could not be shown: no items, none selected.
  EXPECT_EQ(DoubleClick(), 1);
  EXPECT_EQ(TreeNext(m_hTree, TVGN_ROOT, nullptr), nullptr);
  EXPECT_EQ(m_tree.GetPath(), "");
  EXPECT_EQ(TakePostedTreeChanges(m_hParent), 0);
  EXPECT_THAT(m_recorder.m_boxes, IsEmpty());
}

TEST_F(DirectoryTreeTest, CollapsedChainItemsAreListedAgainBesideTheirChildren) {
  ASSERT_TRUE(::SetCurrentDirectoryA(m_tmp.Path("top\\mid").c_str()));
  m_tree.ShowCurrentDirectory();

  // The deepest item collapsed by the user: its listing comes a second time.
  HTREEITEM hMid = Deepest();
  ::SendMessageA(m_hTree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(hMid));
  EXPECT_EQ(DoubleClick(), 1);
  EXPECT_THAT(TreeChildren(m_hTree, hMid),
              ElementsAre("...", "...", "Alpha", "Alpha", "beta", "beta", "hidden", "hidden"));

  // A chain item above: its subdirectories join its chain child.
  HTREEITEM hTop = TreeNext(m_hTree, TVGN_PARENT, hMid);
  m_tmp.MakeDir("top\\aaa");
  m_tmp.MakeDir("top\\zzz");
  ::SendMessageA(m_hTree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(hTop));
  Select(hTop);
  DoubleClick();
  EXPECT_THAT(TreeChildren(m_hTree, hTop), ElementsAre("aaa", "mid", "mid", "zzz"));
  EXPECT_EQ(m_tree.GetPath(), m_tmp.Path("top"));
}

TEST_F(DirectoryTreeTest, ClimbAfterACollapsedChainItemDeletesOnlyItsFirstChildsBranch) {
  // top > mid > beta shown; top collapsed by the user and double-clicked lists top's
  // subdirectories beside its chain child mid. A later climb to top, or to mid, takes only the
  // branch below the first child of the item climbed to: the listing beside mid stays.
  struct Climb {
    std::size_t nBelowTop;  // 0 climbs to top, 1 to mid
    std::vector<std::string> vecTopChildren;
    std::vector<std::string> vecClimbedChildren;
  };
  const std::vector<std::string> vecTopTwice = {"mid", "mid", "zzz", "zzz"};
  const std::vector<std::string> vecMid = {"...", "Alpha", "beta", "hidden"};
  const struct {
    const char* pszName;
    std::vector<Climb> vecClimbs;
  } kRows[] = {
      {"to the collapsed item", {{0, vecTopTwice, vecTopTwice}}},
      {"to its chain child, then to it",
       {{1, {"mid", "mid", "zzz"}, vecMid}, {0, vecTopTwice, vecTopTwice}}},
  };
  m_tmp.MakeDir("top\\zzz");
  const std::size_t nTop = Components(m_tmp.Path("top")).size() - 1;
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.pszName);
    ASSERT_TRUE(::SetCurrentDirectoryA(m_tmp.Path("top\\mid\\beta").c_str()));
    m_tree.ShowCurrentDirectory();
    HTREEITEM hTop = ChainItems()[nTop];
    ::SendMessageA(m_hTree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(hTop));
    Select(hTop);
    DoubleClick();
    ASSERT_THAT(TreeChildren(m_hTree, hTop), ElementsAre("mid", "mid", "zzz"));
    // The chain child comes first: a climb to top is a climb, not the deepest item's no-op.
    ASSERT_EQ(TreeImage(m_hTree, TreeNext(m_hTree, TVGN_CHILD, hTop)), 2);

    for (const Climb& climb : row.vecClimbs) {
      HTREEITEM hClimbed = ChainItems()[nTop + climb.nBelowTop];
      Select(hClimbed);
      EXPECT_EQ(DoubleClick(), 1);
      EXPECT_EQ(m_tree.GetPath(), m_tmp.Path(climb.nBelowTop == 0 ? "top" : "top\\mid"));
      EXPECT_EQ(TreeChildren(m_hTree, hTop), climb.vecTopChildren);
      EXPECT_EQ(TreeChildren(m_hTree, hClimbed), climb.vecClimbedChildren);
    }
    EXPECT_THAT(m_recorder.m_boxes, IsEmpty());
    TakePostedTreeChanges(m_hParent);
  }
}

// Records the tree's bulk-change messages in order, runs of one kind collapsed ("insert x3").
class CTreeMessageLog {
 public:
  explicit CTreeMessageLog(HWND hTree) {
    s_hTree = hTree;
    s_vecLog.clear();
    m_hHook = ::SetWindowsHookExA(WH_CALLWNDPROC, &Hook, nullptr, ::GetCurrentThreadId());
  }
  ~CTreeMessageLog() { ::UnhookWindowsHookEx(m_hHook); }
  std::vector<std::string> Take() {
    std::vector<std::string> vec;
    std::string strLast;
    int nRun = 0;
    auto flush = [&] {
      if (nRun) vec.push_back(nRun == 1 ? strLast : strLast + " x" + std::to_string(nRun));
    };
    for (const std::string& str : s_vecLog) {
      if (str != strLast) {
        flush();
        strLast = str;
        nRun = 0;
      }
      ++nRun;
    }
    flush();
    s_vecLog.clear();
    return vec;
  }

 private:
  static LRESULT CALLBACK Hook(int nCode, WPARAM wParam, LPARAM lParam) {
    auto* pMsg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && pMsg->hwnd == s_hTree) {
      switch (pMsg->message) {
        case WM_SETREDRAW:
          s_vecLog.push_back(pMsg->wParam ? "redraw on" : "redraw off");
          break;
        case TVM_INSERTITEMA:
          s_vecLog.push_back("insert");
          break;
        case TVM_DELETEITEM:
          s_vecLog.push_back("delete");
          break;
        case TVM_EXPAND:
          s_vecLog.push_back("expand");
          break;
      }
    }
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
  }
  static inline HWND s_hTree = nullptr;
  static inline std::vector<std::string> s_vecLog;
  HHOOK m_hHook;
};

TEST_F(DirectoryTreeTest, BulkListingAndDeletionRunWithRedrawingSuspended) {
  m_tmp.MakeDir("big");
  for (int i = 0; i < 40; ++i) m_tmp.MakeDir("big\\d" + std::to_string(i));
  ASSERT_TRUE(::SetCurrentDirectoryA(m_tmp.Path("big").c_str()));
  std::size_t nComponents = Components(CurrentDirectory()).size();
  CTreeMessageLog log(m_hTree);

  m_tree.ShowCurrentDirectory();
  std::vector<std::string> vecExpected = {"insert x" + std::to_string(nComponents),
                                          "expand x" + std::to_string(nComponents),
                                          "redraw off",
                                          "insert x40",
                                          "redraw on",
                                          "expand"};
  EXPECT_EQ(log.Take(), vecExpected);

  // Descending: the 39 siblings go without redrawing; the empty folder lists nothing.
  Select(Child(Deepest(), "d7"));
  DoubleClick();
  EXPECT_THAT(log.Take(), ElementsAre("redraw off", "delete x39", "redraw on", "expand"));
}

TEST_F(DirectoryTreeTest, DescentIntoAnySiblingKeepsItAndLeavesNothingMarked) {
  // The bulk deletion marks one other sibling for its duration and deletes it last. Whichever
  // sibling is descended into (the listing's oldest among them), it survives and nothing stays
  // marked.
  m_tmp.MakeDir("many");
  for (int i = 0; i < 8; ++i) m_tmp.MakeDir("many\\d" + std::to_string(i));
  ASSERT_TRUE(::SetCurrentDirectoryA(m_tmp.Path("many").c_str()));
  m_tree.ShowCurrentDirectory();
  for (int i = 0; i < 8; ++i) {
    const std::string strName = std::string("d").append(std::to_string(i));
    Select(Child(Deepest(), strName));
    DoubleClick();
    ASSERT_EQ(TreeText(m_hTree, Deepest()), strName);
    EXPECT_EQ(m_tree.GetNextItem(nullptr, TVGN_DROPHILITE), nullptr) << strName;
    EXPECT_EQ(::SendMessageA(m_hTree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(Deepest()),
                             TVIS_DROPHILITED),
              0)
        << strName;
    std::vector<HTREEITEM> vecChain = ChainItems();
    Select(vecChain[vecChain.size() - 2]);
    DoubleClick();
  }
  EXPECT_EQ(Listing().size(), 8u);
}

DWORD g_dwCurrentDirectoryError = 0;
DWORD WINAPI FailingGetCurrentDirectory(DWORD /*nLength*/, LPSTR /*pszBuffer*/) {
  ::SetLastError(g_dwCurrentDirectoryError);
  return 0;
}

// The size a longer directory would need, buffer untouched, as the system answers.
DWORD WINAPI TooLongCurrentDirectory(DWORD nLength, LPSTR /*pszBuffer*/) {
  return nLength + 500;
}

// The system's own text of an error code, markers kept; "" when there is none.
std::string RawSystemText(DWORD dwError) {
  char szText[2048] = "";
  ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), szText, sizeof(szText), nullptr);
  return szText;
}

TEST_F(DirectoryTreeTest, UnreadableCurrentDirectoryShowsTheSystemTextUnaltered) {
  ASSERT_TRUE(::SetCurrentDirectoryA(m_tmp.Path("top\\mid").c_str()));
  m_tree.ShowCurrentDirectory();
  std::string strPath = m_tree.GetPath();
  char chDrive = m_tree.m_chDrive;

  auto pfnSaved = GetPickerSystem().pfnGetCurrentDirectory;
  GetPickerSystem().pfnGetCurrentDirectory = &FailingGetCurrentDirectory;
  // A plain text, and one with insert markers, which must stay as they are: there are no
  // values to put in, and reading any would read past the (absent) argument list.
  DWORD dwWithInsert = 0;
  for (DWORD dw = 1; dw < 2000 && !dwWithInsert; ++dw) {
    if (RawSystemText(dw).find("%1") != std::string::npos) dwWithInsert = dw;
  }
  ASSERT_NE(dwWithInsert, 0u);
  for (DWORD dwError : {static_cast<DWORD>(ERROR_ACCESS_DENIED), dwWithInsert}) {
    g_dwCurrentDirectoryError = dwError;
    m_recorder.m_boxes.clear();
    EXPECT_EQ(m_tree.ShowCurrentDirectory(), 0);
    ASSERT_EQ(m_recorder.m_boxes.size(), 1u);
    EXPECT_EQ(m_recorder.m_boxes[0].strText, RawSystemText(dwError));
    EXPECT_EQ(m_recorder.m_boxes[0].strCaption, "GetLastError");
    EXPECT_EQ(m_recorder.m_boxes[0].dwStyle, static_cast<UINT>(MB_OK | MB_ICONSTOP));
    EXPECT_EQ(m_recorder.m_boxes[0].hOwner, m_hTree);
    EXPECT_EQ(m_tree.GetPath(), strPath);
    EXPECT_EQ(m_tree.m_chDrive, chDrive);
  }
  EXPECT_NE(m_recorder.m_boxes[0].strText.find("%1"), std::string::npos);

  // A directory too long for the buffer leaves nothing usable in it: refused the same way.
  GetPickerSystem().pfnGetCurrentDirectory = &TooLongCurrentDirectory;
  m_recorder.m_boxes.clear();
  EXPECT_EQ(m_tree.ShowCurrentDirectory(), 0);
  ASSERT_EQ(m_recorder.m_boxes.size(), 1u);
  EXPECT_EQ(m_recorder.m_boxes[0].strText, RawSystemText(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_EQ(m_tree.GetPath(), strPath);

  // After a drive switch the items are gone and stay gone.
  m_tree.m_chDrive = 'C';
  EXPECT_EQ(m_tree.ShowCurrentDirectory(), 0);
  EXPECT_EQ(TreeNext(m_hTree, TVGN_ROOT, nullptr), nullptr);
  GetPickerSystem().pfnGetCurrentDirectory = pfnSaved;
}

}  // namespace
}  // namespace qm::test
