#include "tests/dirpicker/picker_test_support.h"

#include <winioctl.h>

#include <algorithm>

#include "framework/controls.h"
#include "res/resource.h"

namespace qm::test {

std::string CTempTree::Path(const std::string& strRelative) const {
  const std::string strRoot = m_root.Path().substr(0, m_root.Path().size() - 1);
  return strRelative.empty() ? strRoot : strRoot + "\\" + strRelative;
}

void CTempTree::MakeDir(const std::string& strRelative, DWORD dwAttributes) const {
  ::CreateDirectoryA(Path(strRelative).c_str(), nullptr);
  if (dwAttributes) ::SetFileAttributesA(Path(strRelative).c_str(), dwAttributes);
}

void CTempTree::MakeFile(const std::string& strRelative) const {
  HANDLE hFile = ::CreateFileA(Path(strRelative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile != INVALID_HANDLE_VALUE) ::CloseHandle(hFile);
}

void CTempTree::MakeHostDir(const std::string& strRelative) const {
  // Only the parent goes through the path conversion, which would drop the trailing dots.
  std::size_t nSlash = strRelative.rfind('\\');
  std::string strParent = nSlash == std::string::npos ? "" : strRelative.substr(0, nSlash);
  std::string strLeaf = strRelative.substr(nSlash == std::string::npos ? 0 : nSlash + 1);
  std::string strHost = HostPath(Path(strParent));
  if (!strHost.empty()) RunHostCommand("mkdir -p '" + strHost + "/" + strLeaf + "'");
}

void CTempTree::Remove(const std::string& strRelative) const {
  RemoveTree(Path(strRelative));
}

namespace {

// Wine's mount manager request that defines (or, with DRIVE_NO_ROOT_DIR, removes) a drive
// letter on a host path: it writes the dosdevices link and updates the session's drive list
// at once, as Wine's own configuration tool does.
struct MountMgrUnixDrive {
  ULONG nSize;
  ULONG nType;
  ULONG nFsType;
  DWORD dwSerial;
  ULONGLONG nUnixDev;
  WCHAR chLetter;
  USHORT nMountPoint;
  USHORT nDevice;
  USHORT nLabel;
};
constexpr DWORD kIoctlDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

bool DefineUnixDrive(char chLetter, UINT nType, const std::string& strHostPath) {
  HANDLE hManager =
      ::CreateFileA("\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (hManager == INVALID_HANDLE_VALUE) return false;
  std::vector<char> vecBuffer(sizeof(MountMgrUnixDrive) + strHostPath.size() + 1, '\0');
  auto* pDrive = reinterpret_cast<MountMgrUnixDrive*>(vecBuffer.data());
  pDrive->nSize = static_cast<ULONG>(vecBuffer.size());
  pDrive->nType = nType;
  pDrive->chLetter = static_cast<WCHAR>(chLetter | 0x20);
  if (!strHostPath.empty()) {
    pDrive->nMountPoint = sizeof(MountMgrUnixDrive);
    std::copy(strHostPath.begin(), strHostPath.end(),
              vecBuffer.begin() + sizeof(MountMgrUnixDrive));
  }
  BOOL bOk = ::DeviceIoControl(hManager, kIoctlDefineUnixDrive, vecBuffer.data(),
                               static_cast<DWORD>(vecBuffer.size()), nullptr, 0, nullptr, nullptr);
  ::CloseHandle(hManager);
  return bOk != FALSE;
}

}  // namespace

CWineDrive::CWineDrive(char chLetter, const std::string& strHostTarget) : m_chLetter(chLetter) {
  m_bOk = !strHostTarget.empty() && DefineUnixDrive(chLetter, DRIVE_FIXED, strHostTarget);
}

CWineDrive::~CWineDrive() {
  if (m_bOk) DefineUnixDrive(m_chLetter, DRIVE_NO_ROOT_DIR, "");
}

PickerSystem& GetPickerSystem() {
  static PickerSystem* s_pSystem = [] {
    static PickerSystem s_system;
    dirpicker::InstallPickerSystem(&s_system);
    return &s_system;
  }();
  return *s_pSystem;
}

CCurrentDirectoryGuard::CCurrentDirectoryGuard() {
  ::GetCurrentDirectoryA(sizeof(m_szSaved), m_szSaved);
}

CCurrentDirectoryGuard::~CCurrentDirectoryGuard() {
  ::SetCurrentDirectoryA(m_szSaved);
}

std::string CurrentDirectory() {
  char szDir[1024] = "";
  ::GetCurrentDirectoryA(sizeof(szDir), szDir);
  return szDir;
}

int TakePostedTreeChanges(HWND hWnd) {
  int nCount = 0;
  MSG msg;
  while (::PeekMessageA(&msg, hWnd, WM_DIRTREE_CHANGED, WM_DIRTREE_CHANGED, PM_REMOVE)) ++nCount;
  return nCount;
}

HTREEITEM TreeNext(HWND hTree, UINT nCode, HTREEITEM hItem) {
  return fw::CTreeCtrl(hTree).GetNextItem(hItem, nCode);
}

std::string TreeText(HWND hTree, HTREEITEM hItem) {
  return fw::CTreeCtrl(hTree).GetItemText(hItem);
}

std::vector<std::string> TreeChildren(HWND hTree, HTREEITEM hParent) {
  std::vector<std::string> vec;
  for (HTREEITEM h = hParent ? TreeNext(hTree, TVGN_CHILD, hParent)
                             : TreeNext(hTree, TVGN_ROOT, nullptr);
       h; h = TreeNext(hTree, TVGN_NEXT, h)) {
    vec.push_back(TreeText(hTree, h));
  }
  return vec;
}

int TreeImage(HWND hTree, HTREEITEM hItem, int* pnSelected) {
  TVITEMA tvi{};
  tvi.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  tvi.hItem = hItem;
  ::SendMessageA(hTree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
  if (pnSelected) *pnSelected = tvi.iSelectedImage;
  return tvi.iImage;
}

bool TreeExpanded(HWND hTree, HTREEITEM hItem) {
  return (::SendMessageA(hTree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(hItem), TVIS_EXPANDED) &
          TVIS_EXPANDED) != 0;
}

}  // namespace qm::test
