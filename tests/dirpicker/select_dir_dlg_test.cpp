// The Select Directory dialog under Wine, in-process over the program's own resources: its
// template, what it shows when it opens, the tree's notice reaching the pre-filter, drive
// switches (ready and not ready), and the main dialog's browse button with OK and Cancel.
#include "dirpicker/select_dir_dlg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/quillmont_dlg.h"
#include "res/resource.h"
#include "tests/app/driven_dlg.h"
#include "tests/dirpicker/picker_test_support.h"
#include "tests/framework/box_presser.h"
#include "tests/platform/fake_platform.h"
#include "tests/support/recording_message_box.h"

namespace qm::test {
namespace {

using dirpicker::CSelectDirDlg;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr UINT kRunStep = WM_APP + 41;

// The real dialog, driven by steps that run from its own modal loop, one queued message
// apart; it records what its pre-filter handles in between.
class CDrivenSelectDirDlg : public CSelectDirDlg {
 public:
  using CSelectDirDlg::CSelectDirDlg;

  BOOL OnInitDialog() override {
    BOOL bResult = CSelectDirDlg::OnInitDialog();
    PostMsg(kRunStep);
    return bResult;
  }
  BOOL PreTranslateMessage(MSG* pMsg) override {
    if (pMsg->message == kRunStep && pMsg->hwnd == m_hWnd) {
      std::size_t nStep = m_nNextStep++;
      m_vecLog.push_back("step " + std::to_string(nStep));
      if (nStep < m_vecSteps.size()) m_vecSteps[nStep](*this);
      if (m_nNextStep < m_vecSteps.size()) {
        PostMsg(kRunStep);
      } else {
        EndDialog(IDCANCEL);
      }
      return TRUE;
    }
    BOOL bHandled = CSelectDirDlg::PreTranslateMessage(pMsg);
    if (pMsg->message == WM_DIRTREE_CHANGED) {
      m_vecLog.push_back(std::string("tree changed ") + (bHandled ? "handled" : "passed on"));
    }
    return bHandled;
  }

  std::string DirName() const { return m_editDirName.GetWindowText(); }
  int DriveIndex(char chLetter) const {
    for (int i = 0; i < m_comboDrive.GetCount(); ++i) {
      if (m_comboDrive.GetLBText(i)[0] == chLetter) return i;
    }
    return -1;
  }
  // A pick from the list as the user makes it: the selection moves, then the notice.
  void PickDrive(char chLetter) {
    m_comboDrive.SetCurSel(DriveIndex(chLetter));
    SendMsg(WM_COMMAND, MAKEWPARAM(IDC_DRIVE, CBN_SELCHANGE),
            reinterpret_cast<LPARAM>(m_comboDrive.m_hWnd));
  }
  char SelectedDrive() const {
    int nIndex = m_comboDrive.GetCurSel();
    return nIndex < 0 ? '\0' : m_comboDrive.GetLBText(nIndex)[0];
  }
  HTREEITEM Listed(const std::string& strName) const {
    HWND hTree = m_treeDir.m_hWnd;
    HTREEITEM hDeepest = TreeNext(hTree, TVGN_CARET, nullptr);
    for (HTREEITEM h = TreeNext(hTree, TVGN_CHILD, hDeepest); h;
         h = TreeNext(hTree, TVGN_NEXT, h)) {
      if (TreeText(hTree, h) == strName) return h;
    }
    return nullptr;
  }
  void DoubleClickOn(HTREEITEM hItem) {
    m_treeDir.SendMsg(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hItem));
    NMHDR nm{m_treeDir.m_hWnd, IDC_DIR_TREE, static_cast<UINT>(NM_DBLCLK)};
    SendMsg(WM_NOTIFY, IDC_DIR_TREE, reinterpret_cast<LPARAM>(&nm));
  }

  std::vector<std::function<void(CDrivenSelectDirDlg&)>> m_vecSteps;
  std::size_t m_nNextStep = 0;
  std::vector<std::string> m_vecLog;
};

class SelectDirDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_tmp.MakeDir("top");
    m_tmp.MakeDir("top\\mid");
    m_tmp.MakeDir("top\\mid\\beta");
    m_tmp.MakeDir("top\\mid\\beta\\gamma");
    m_tmp.MakeDir("top\\mid\\Alpha");
    ASSERT_TRUE(::SetCurrentDirectoryA(m_tmp.Path("top\\mid").c_str()));
    m_strOpenedAt = CurrentDirectory();
  }

  CCurrentDirectoryGuard m_cwd;
  CTempTree m_tmp;
  CBoxRecorder m_recorder;
  std::string m_strOpenedAt;
};

// --- the template ---

struct TemplateItem {
  DWORD dwStyle;
  short x, y, cx, cy;
  WORD wId;
  std::string strClass;  // "#0x80" for the predefined classes
  std::string strText;
};

std::string ReadSzOrOrd(const WORD*& p) {
  if (*p == 0xFFFF) {
    char szOrd[16];
    std::snprintf(szOrd, sizeof(szOrd), "#0x%X", p[1]);
    p += 2;
    return szOrd;
  }
  std::string str;
  while (*p) str += static_cast<char>(*p++);
  ++p;
  return str;
}

TEST_F(SelectDirDlgTest, TemplateHasTheLayoutStylesAndControlsOfTheDialog) {
  HRSRC hRes = ::FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_SELECT_DIR), MAKEINTRESOURCEA(5));
  ASSERT_NE(hRes, nullptr);
  auto* pTemplate = static_cast<const DLGTEMPLATE*>(::LockResource(::LoadResource(nullptr, hRes)));
  EXPECT_EQ(pTemplate->style, 0x80C800C0u);
  EXPECT_EQ(pTemplate->cx, 200);
  EXPECT_EQ(pTemplate->cy, 156);
  const WORD* p = reinterpret_cast<const WORD*>(pTemplate + 1);
  EXPECT_EQ(ReadSzOrOrd(p), "");  // menu
  EXPECT_EQ(ReadSzOrOrd(p), "");  // class
  EXPECT_EQ(ReadSzOrOrd(p), "Select Directory");
  EXPECT_EQ(*p++, 8);
  EXPECT_EQ(ReadSzOrOrd(p), "MS Sans Serif");

  std::vector<TemplateItem> vecItems;
  for (int i = 0; i < pTemplate->cdit; ++i) {
    p = reinterpret_cast<const WORD*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~UINT_PTR{3});
    auto* pItem = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
    TemplateItem item{pItem->style, pItem->x, pItem->y, pItem->cx, pItem->cy, pItem->id, "", ""};
    p = reinterpret_cast<const WORD*>(pItem + 1);
    item.strClass = ReadSzOrOrd(p);
    item.strText = ReadSzOrOrd(p);
    p += 1 + *p / sizeof(WORD);  // creation data
    vecItems.push_back(item);
  }
  ASSERT_EQ(vecItems.size(), 7u);
  const DWORD dwChild = WS_CHILD | WS_VISIBLE;
  auto expectItem = [&](int nIndex, WORD wId, const char* pszClass, const char* pszText, short x,
                        short y, short cx, short cy, DWORD dwStyle) {
    const TemplateItem& item = vecItems[nIndex];
    SCOPED_TRACE(nIndex);
    EXPECT_EQ(item.wId, wId);
    EXPECT_TRUE(_stricmp(item.strClass.c_str(), pszClass) == 0) << item.strClass;
    EXPECT_EQ(item.strText, pszText);
    EXPECT_EQ(item.x, x);
    EXPECT_EQ(item.y, y);
    EXPECT_EQ(item.cx, cx);
    EXPECT_EQ(item.cy, cy);
    // Group marks of the static texts aside, the styles are exactly these.
    EXPECT_EQ(item.dwStyle & ~static_cast<DWORD>(WS_GROUP), dwChild | dwStyle);
  };
  expectItem(0, IDOK, "#0x80", "OK", 142, 16, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP);
  expectItem(1, IDCANCEL, "#0x80", "Cancel", 142, 33, 50, 14, BS_PUSHBUTTON | WS_TABSTOP);
  expectItem(2, 0xFFFF, "#0x82", "Directory Name", 13, 14, 88, 8, SS_LEFT);
  expectItem(3, IDC_DIR_NAME, "#0x81", "", 13, 25, 107, 13,
             WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL | ES_LEFT);
  expectItem(4, IDC_DIR_TREE, "SysTreeView32", "Tree1", 13, 41, 107, 105, WS_BORDER | WS_TABSTOP);
  expectItem(5, 0xFFFF, "#0x82", "Drive", 132, 80, 49, 9, SS_LEFT);
  const char* pszComboClass = vecItems[6].strClass[0] == '#' ? "#0x85" : "ComboBox";
  expectItem(6, IDC_DRIVE, pszComboClass, "", 132, 91, 60, 48,
             CBS_DROPDOWN | CBS_SORT | WS_VSCROLL | WS_TABSTOP);
}

// --- the dialog at work ---

TEST_F(SelectDirDlgTest, OpensAtTheCurrentDirectoryWithItsDriveAndTheMappedFolderImages) {
  CDrivenSelectDirDlg dlg;
  std::vector<std::string> vecDrives;
  char chSelected = 0;
  std::string strDirName, strTreePath;
  int nImages = 0, cx = 0, cy = 0;
  COLORREF crBackground = 0, crBody = 0, crShadow = 0;
  dlg.m_vecSteps.push_back([&](CDrivenSelectDirDlg& d) {
    for (int i = 0; i < d.m_comboDrive.GetCount(); ++i)
      vecDrives.push_back(d.m_comboDrive.GetLBText(i));
    chSelected = d.SelectedDrive();
    strDirName = d.DirName();
    strTreePath = d.GetPath();
    HIMAGELIST hList =
        reinterpret_cast<HIMAGELIST>(d.m_treeDir.SendMsg(TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    nImages = ::ImageList_GetImageCount(hList);
    ::ImageList_GetIconSize(hList, &cx, &cy);
    // Closed folder: white background mapped to the highlight colour, black shadow to the
    // button text colour, the body's yellow as drawn.
    HDC hScreen = ::GetDC(nullptr);
    HDC hDC = ::CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = ::CreateCompatibleBitmap(hScreen, 18, 15);
    ::ReleaseDC(nullptr, hScreen);
    HGDIOBJ hOld = ::SelectObject(hDC, hBitmap);
    ::ImageList_Draw(hList, 0, hDC, 0, 0, ILD_NORMAL);
    crBackground = ::GetPixel(hDC, 0, 0);
    crShadow = ::GetPixel(hDC, 2, 13);
    crBody = ::GetPixel(hDC, 5, 6);
    ::SelectObject(hDC, hOld);
    ::DeleteObject(hBitmap);
    ::DeleteDC(hDC);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);

  ASSERT_FALSE(vecDrives.empty());
  EXPECT_EQ(vecDrives.front().substr(0, 3), "C: ");
  EXPECT_EQ(vecDrives.back().substr(0, 3), "Z: ");
  EXPECT_EQ(chSelected, m_strOpenedAt[0]);
  EXPECT_EQ(strDirName, m_strOpenedAt);
  EXPECT_EQ(strTreePath, m_strOpenedAt);
  EXPECT_EQ(dlg.GetPath(), m_strOpenedAt);
  EXPECT_EQ(nImages, 4);
  EXPECT_EQ(cx, 18);
  EXPECT_EQ(cy, 15);
  EXPECT_EQ(crBackground, ::GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(crShadow, ::GetSysColor(COLOR_BTNTEXT));
  EXPECT_EQ(crBody, RGB(255, 255, 0));
  EXPECT_TRUE(::GetErrorMode() & SEM_FAILCRITICALERRORS);
  EXPECT_THAT(m_recorder.m_boxes, IsEmpty());
}

TEST_F(SelectDirDlgTest, TreeNoticeIsTakenByThePreFilterAndTheDirectoryNameFollows) {
  CDrivenSelectDirDlg dlg;
  std::string strRightAfter, strOneMessageLater;
  dlg.m_vecSteps.push_back([&](CDrivenSelectDirDlg& d) {
    d.DoubleClickOn(d.Listed("beta"));
    strRightAfter = d.DirName();
  });
  dlg.m_vecSteps.push_back([&](CDrivenSelectDirDlg& d) { strOneMessageLater = d.DirName(); });
  dlg.DoModal();
  EXPECT_EQ(strRightAfter, m_strOpenedAt);
  EXPECT_EQ(strOneMessageLater, m_strOpenedAt + "\\beta");
  EXPECT_THAT(dlg.m_vecLog, ElementsAre("step 0", "tree changed handled", "step 1"));
  EXPECT_EQ(dlg.GetPath(), m_strOpenedAt + "\\beta");
  // Descending leaves the process where it was.
  EXPECT_EQ(CurrentDirectory(), m_strOpenedAt);
}

TEST_F(SelectDirDlgTest, DriveThatIsNotReadyIsRefusedAndTheSelectionPutBack) {
  CWineDrive missing('Q', "/nonexistent/qm-dirpicker-missing");
  ASSERT_TRUE(missing.Ok());
  CDrivenSelectDirDlg dlg;
  char chBefore = 0, chAfter = 0;
  int nQIndex = -1;
  std::string strDirName;
  dlg.m_vecSteps.push_back([&](CDrivenSelectDirDlg& d) {
    nQIndex = d.DriveIndex('Q');
    chBefore = d.SelectedDrive();
    d.PickDrive('Q');
    chAfter = d.SelectedDrive();
    strDirName = d.DirName();
  });
  dlg.DoModal();
  ASSERT_NE(nQIndex, -1);
  ASSERT_EQ(m_recorder.m_boxes.size(), 1u);
  EXPECT_EQ(m_recorder.m_boxes[0].strText, "Drive Q: is not ready.");
  EXPECT_EQ(m_recorder.m_boxes[0].strCaption, "Error");
  EXPECT_EQ(m_recorder.m_boxes[0].dwStyle, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
  EXPECT_EQ(chAfter, chBefore);
  EXPECT_EQ(strDirName, m_strOpenedAt);
  EXPECT_EQ(dlg.GetPath(), m_strOpenedAt);
  EXPECT_EQ(CurrentDirectory(), m_strOpenedAt);
}

TEST_F(SelectDirDlgTest, ChoosingAReadyDriveMovesTheProcessThereAndRebuildsEverything) {
  m_tmp.MakeDir("root");
  m_tmp.MakeDir("root\\one");
  CWineDrive drive('S', HostPath(m_tmp.Path("root")));
  ASSERT_TRUE(drive.Ok());
  CDrivenSelectDirDlg dlg;
  std::string strDirName, strAfterDescent, strAfterSameDrive;
  dlg.m_vecSteps.push_back([&](CDrivenSelectDirDlg& d) {
    d.PickDrive('S');
    strDirName = d.DirName();
    d.DoubleClickOn(d.Listed("one"));
  });
  dlg.m_vecSteps.push_back([&](CDrivenSelectDirDlg& d) {
    strAfterDescent = d.DirName();
    // The drive already shown: rebuilt at the process's directory, the descent discarded.
    d.PickDrive('S');
    strAfterSameDrive = d.DirName();
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(strDirName, "S:\\");
  EXPECT_EQ(strAfterDescent, "S:\\one");
  EXPECT_EQ(strAfterSameDrive, "S:\\");
  EXPECT_EQ(dlg.m_treeDir.m_chDrive, 'S');
  // The move outlasts the dialog, Cancel or not.
  EXPECT_EQ(CurrentDirectory(), "S:\\");
  EXPECT_THAT(m_recorder.m_boxes, IsEmpty());
}

TEST_F(SelectDirDlgTest, ArrowKeysInTheDriveListSwitchDriveAtEachStepAndTypingChangesNothing) {
  // An empty root is not ready (its search finds nothing): each holds one folder.
  for (const char* pszDir : {"sroot", "sroot\\x", "troot", "troot\\x"}) m_tmp.MakeDir(pszDir);
  CWineDrive driveS('S', HostPath(m_tmp.Path("sroot")));
  CWineDrive driveT('T', HostPath(m_tmp.Path("troot")));
  ASSERT_TRUE(driveS.Ok() && driveT.Ok());
  CDrivenSelectDirDlg dlg;
  std::vector<std::string> vecSeen;  // Directory Name, current directory, the tree's path
  std::string strDrives;             // the selected drive after each arrow key
  auto note = [&](CDrivenSelectDirDlg& d) {
    vecSeen.push_back(d.DirName() + "|" + CurrentDirectory() + "|" + d.GetPath());
    strDrives += d.SelectedDrive();
  };
  // Keys go to the focused edit part of the list, through the dialog's own loop.
  auto post = [](UINT nMessage, WPARAM wParam) {
    ::PostMessageA(::GetFocus(), nMessage, wParam, 0);
  };
  dlg.m_vecSteps.push_back([&](CDrivenSelectDirDlg& d) {
    d.PickDrive('S');
    ::SetFocus(d.m_comboDrive.m_hWnd);
    note(d);
    post(WM_KEYDOWN, VK_DOWN);
  });
  dlg.m_vecSteps.push_back([&](CDrivenSelectDirDlg& d) {
    note(d);
    post(WM_KEYDOWN, VK_UP);
  });
  dlg.m_vecSteps.push_back([&](CDrivenSelectDirDlg& d) {
    note(d);
    for (char ch : std::string("T:")) post(WM_CHAR, static_cast<WPARAM>(ch));
  });
  dlg.m_vecSteps.push_back([&](CDrivenSelectDirDlg& d) {
    vecSeen.push_back(d.DirName() + "|" + CurrentDirectory() + "|" + d.GetPath());
  });
  dlg.DoModal();
  EXPECT_EQ(strDrives, "STS");
  EXPECT_THAT(vecSeen,
              ElementsAre("S:\\|S:\\|S:\\", "T:\\|T:\\|T:\\", "S:\\|S:\\|S:\\", "S:\\|S:\\|S:\\"));
  EXPECT_THAT(m_recorder.m_boxes, IsEmpty());
}

// A real box in the middle of a descent: its own loop hands the tree's notice to the
// dialog's window procedure, not to the pre-filter (no recorder here, the box is real).
TEST(SelectDirDlgRealBoxTest, DirectoryNameFollowsANoticeThatTheTreesBoxDispatched) {
  CCurrentDirectoryGuard cwd;
  CTempTree tmp;
  tmp.MakeDir("gone");
  ASSERT_TRUE(::SetCurrentDirectoryA(tmp.Path().c_str()));
  const std::string strOpenedAt = CurrentDirectory();
  CDrivenSelectDirDlg dlg;
  std::string strBoxText, strDirName;
  dlg.m_vecSteps.push_back([&](CDrivenSelectDirDlg& d) {
    HTREEITEM hGone = d.Listed("gone");
    tmp.Remove("gone");  // listed, but no longer searchable
    CBoxPresser presser("DEBUG", IDOK);
    d.DoubleClickOn(hGone);  // returns once the box is pressed
    strBoxText = presser.Text();
    strDirName = d.DirName();
  });
  dlg.DoModal();
  EXPECT_EQ(strBoxText, "FindFirstFile() returned INVALID_HANDLE_VALUE");
  EXPECT_EQ(strDirName, strOpenedAt + "\\gone");
  EXPECT_EQ(dlg.GetPath(), strOpenedAt + "\\gone");
}

// --- the main dialog's browse button ---

TEST_F(SelectDirDlgTest, BrowseButtonFillsWorkingDirectoryOnOkOnly) {
  platform::test::CFakePlatform fake;
  CRecordingMessageBox box;
  CDrivenDlg dlg(fake.Platform(), box);
  std::string strAfterCancel, strAfterOk;
  bool bAnswered = true;
  // Presses the button and answers the Select Directory dialog once it shows.
  auto browse = [&](CDrivenDlg& d, int nAnswer) {
    CBoxPresser presser("Select Directory", nAnswer);
    d.Click(IDC_BROWSE_DIR);
    bAnswered = bAnswered && presser.Pressed();
  };
  dlg.m_body = [&](CDrivenDlg& d) {
    d.Type(IDC_WORKING_DIR, "D:\\kept");
    browse(d, IDCANCEL);
    strAfterCancel = d.Text(IDC_WORKING_DIR);
    browse(d, IDOK);
    strAfterOk = d.Text(IDC_WORKING_DIR);
  };
  dlg.DoModal();
  EXPECT_TRUE(bAnswered);
  EXPECT_EQ(strAfterCancel, "D:\\kept");
  EXPECT_EQ(strAfterOk, m_strOpenedAt);
}

}  // namespace
}  // namespace qm::test
