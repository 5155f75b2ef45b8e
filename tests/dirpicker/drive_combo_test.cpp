// The drive list on a real combo box under Wine: its failure boxes (drive list and current
// directory refused by the system) and selecting a drive by letter.
#include "dirpicker/drive_combo.h"

#include <cstdint>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/dirpicker/picker_test_support.h"

namespace qm::test {
namespace {

using dirpicker::CDriveCombo;
using ::testing::Contains;
using ::testing::IsEmpty;

DWORD WINAPI NoDrives() {
  ::SetLastError(ERROR_ACCESS_DENIED);
  return 0;
}

DWORD WINAPI NoCurrentDirectory(DWORD /*nLength*/, LPSTR /*pszBuffer*/) {
  ::SetLastError(ERROR_PATH_NOT_FOUND);
  return 0;
}

std::string SystemText(DWORD dwError) {
  char szText[1024] = "";
  ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), szText, sizeof(szText), nullptr);
  return szText;
}

class DriveComboTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_hParent = ::CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND hCombo =
        ::CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | CBS_DROPDOWN | CBS_SORT, 0, 0, 120, 100,
                          m_hParent, reinterpret_cast<HMENU>(IDC_DRIVE), nullptr, nullptr);
    ASSERT_TRUE(m_combo.SubclassWindow(hCombo));
    m_saved = GetPickerSystem();
  }
  void TearDown() override {
    GetPickerSystem() = m_saved;
    ::DestroyWindow(m_hParent);
  }

  CBoxRecorder m_recorder;
  CDriveCombo m_combo;
  PickerSystem m_saved;
  HWND m_hParent = nullptr;
};

TEST_F(DriveComboTest, NoDrivesLeavesTheListEmptyAfterTheSystemsText) {
  GetPickerSystem().pfnGetLogicalDrives = &NoDrives;
  EXPECT_EQ(m_combo.FillDriveList(), 0);
  EXPECT_EQ(m_combo.GetCount(), 0);
  ASSERT_EQ(m_recorder.m_boxes.size(), 1u);
  EXPECT_EQ(m_recorder.m_boxes[0].strText, SystemText(ERROR_ACCESS_DENIED));
  EXPECT_EQ(m_recorder.m_boxes[0].strCaption, "GetLastError - GetLogicalDrives failed");
  EXPECT_EQ(m_recorder.m_boxes[0].dwStyle, static_cast<UINT>(MB_OK | MB_ICONSTOP));
  EXPECT_EQ(m_recorder.m_boxes[0].hOwner, m_combo.m_hWnd);
}

// The size a longer directory would need, buffer untouched, as the system answers.
DWORD WINAPI TooLongCurrentDirectory(DWORD nLength, LPSTR /*pszBuffer*/) {
  return nLength + 500;
}

TEST_F(DriveComboTest, UnreadableOrTooLongCurrentDirectoryKeepsTheDrivesWithNoneSelected) {
  const std::pair<DWORD(WINAPI*)(DWORD, LPSTR), DWORD> cases[] = {
      {&NoCurrentDirectory, ERROR_PATH_NOT_FOUND},
      {&TooLongCurrentDirectory, ERROR_FILENAME_EXCED_RANGE}};
  for (const auto& [pfnGet, dwError] : cases) {
    m_combo.ResetContent();
    m_recorder.m_boxes.clear();
    GetPickerSystem().pfnGetCurrentDirectory = pfnGet;
    EXPECT_EQ(m_combo.FillDriveList(), 0) << dwError;
    EXPECT_GE(m_combo.GetCount(), 2);
    EXPECT_EQ(m_combo.GetCurSel(), CB_ERR);
    ASSERT_EQ(m_recorder.m_boxes.size(), 1u);
    EXPECT_EQ(m_recorder.m_boxes[0].strText, SystemText(dwError));
    EXPECT_EQ(m_recorder.m_boxes[0].strCaption, "GetLastError - GetCurrentDirectory failed");
    EXPECT_EQ(m_recorder.m_boxes[0].dwStyle, static_cast<UINT>(MB_OK | MB_ICONSTOP));
  }
}

TEST_F(DriveComboTest, ItemsCarryTheVolumeLabelAfterTheLetter) {
  // Wine reads a folder drive's label from this file in its root.
  CTempTree tmp;
  tmp.MakeDir("labelled");
  HANDLE hFile = ::CreateFileA(tmp.Path("labelled\\.windows-label").c_str(), GENERIC_WRITE, 0,
                               nullptr, CREATE_NEW, 0, nullptr);
  DWORD cbWritten = 0;
  ::WriteFile(hFile, "QMLABEL\n", 8, &cbWritten, nullptr);
  ::CloseHandle(hFile);
  CWineDrive drive('S', HostPath(tmp.Path("labelled")));
  ASSERT_TRUE(drive.Ok());
  EXPECT_EQ(m_combo.FillDriveList(), 1);
  std::vector<std::string> items;
  for (int i = 0; i < m_combo.GetCount(); ++i) items.push_back(m_combo.GetLBText(i));
  EXPECT_THAT(items, Contains("S: QMLABEL"));
}

// The value the next handle gets: the lowest free slot of the handle table (the process's
// handle count is not reported under Wine), so handles left open push it up.
std::uintptr_t NextHandleValue() {
  HANDLE hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ::CloseHandle(hEvent);
  return reinterpret_cast<std::uintptr_t>(hEvent);
}

TEST_F(DriveComboTest, ReadinessCheckLeavesNoHandleOpen) {
  EXPECT_EQ(m_combo.FillDriveList(), 1);
  m_combo.SelectDrive('C');
  const int nIndex = m_combo.GetCurSel();
  ASSERT_EQ(m_combo.IsDriveReady(nIndex), 1);  // anything it opens once for good is open now
  const std::uintptr_t nBefore = NextHandleValue();
  for (int i = 0; i < 20; ++i) EXPECT_EQ(m_combo.IsDriveReady(nIndex), 1);
  // One search left open per check would take 20 slots (of 4 each).
  EXPECT_LT(NextHandleValue(), nBefore + 10 * 4);
  EXPECT_THAT(m_recorder.m_boxes, IsEmpty());
}

TEST_F(DriveComboTest, SelectsADriveByLetterInEitherCaseAndIgnoresUnknownOnes) {
  EXPECT_EQ(m_combo.FillDriveList(), 1);
  EXPECT_THAT(m_recorder.m_boxes, IsEmpty());
  m_combo.SelectDrive('z');
  EXPECT_EQ(m_combo.GetLBText(m_combo.GetCurSel()).substr(0, 2), "Z:");
  // No item begins with "Y:": the selection stays.
  m_combo.SelectDrive('Y');
  EXPECT_EQ(m_combo.GetLBText(m_combo.GetCurSel()).substr(0, 2), "Z:");
  m_combo.SelectDrive('C');
  EXPECT_EQ(m_combo.GetLBText(m_combo.GetCurSel()).substr(0, 2), "C:");
}

}  // namespace
}  // namespace qm::test
