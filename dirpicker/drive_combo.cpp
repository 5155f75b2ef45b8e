#include "dirpicker/drive_combo.h"

#include <cstdio>
#include <cstring>

#include "common/win32_handles.h"
#include "dirpicker/picker_system.h"

namespace qm::dirpicker {

const qm::fw::MessageMap CDriveCombo::kMessageMap{&qm::fw::CComboBox::kMessageMap, {}};

int CDriveCombo::FillDriveList() {
  IPickerSystem& sys = PickerSystem();
  DWORD dwDrives = sys.LogicalDrives();
  if (dwDrives == 0) {
    ShowLastErrorBox(m_hWnd, "GetLastError - GetLogicalDrives failed");
    return 0;
  }
  for (int nBit = 0; nBit < 26 && (dwDrives >> nBit) != 0; ++nBit) {
    if (!(dwDrives & (1u << nBit))) continue;
    char szItem[1100];
    std::snprintf(szItem, sizeof(szItem), "%c: ", 'A' + nBit);
    // No system box for an empty or absent medium; set before every drive, never restored.
    ::SetErrorMode(SEM_FAILCRITICALERRORS);
    char szVolume[1024] = "";
    if (::GetVolumeInformationA(szItem, szVolume, sizeof(szVolume), nullptr, nullptr, nullptr,
                                nullptr, 0)) {
      std::size_t nUsed = std::strlen(szItem);
      std::snprintf(szItem + nUsed, sizeof(szItem) - nUsed, "%s", szVolume);
    }
    AddString(szItem);
  }

  char szDir[1024] = "";
  DWORD dwLength = sys.CurrentDirectory(sizeof(szDir), szDir);
  if (dwLength >= sizeof(szDir)) {
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    dwLength = 0;
  }
  if (dwLength == 0) {
    ShowLastErrorBox(m_hWnd, "GetLastError - GetCurrentDirectory failed");
    return 0;
  }
  char szPrefix[4];
  std::snprintf(szPrefix, sizeof(szPrefix), "%c", szDir[0]);
  // Not tested: with no matching item CB_ERR leaves nothing selected.
  int nIndex = static_cast<int>(
      SendMsg(CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(szPrefix)));
  SetCurSel(nIndex);
  return 1;
}

int CDriveCombo::IsDriveReady(int nIndex) {
  std::string strItem = GetLBText(nIndex);
  char szLetter[2] = {strItem.empty() ? '\0' : strItem[0], '\0'};
  char szPattern[16];
  std::snprintf(szPattern, sizeof(szPattern), "%s:\\*.*", szLetter);
  WIN32_FIND_DATAA fd{};
  unique_hfind hFind(::FindFirstFileA(szPattern, &fd));
  if (!hFind) {
    char szText[64];
    std::snprintf(szText, sizeof(szText), "Drive %s: is not ready.", szLetter);
    PickerSystem().ShowMessageBox(m_hWnd, szText, "Error", MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  return 1;
}

void CDriveCombo::SelectDrive(char chLetter) {
  char szPrefix[4];
  std::snprintf(szPrefix, sizeof(szPrefix), "%c:", chLetter);
  int nIndex = static_cast<int>(
      SendMsg(CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(szPrefix)));
  if (nIndex != CB_ERR) SetCurSel(nIndex);
}

}  // namespace qm::dirpicker
