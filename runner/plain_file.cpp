#include "runner/plain_file.h"

#include <vector>

#include "common/ascii_case.h"

namespace qm::runner {

namespace {

// Opens the name itself, not what a link there points to.
unique_hfile OpenName(const std::string& strPath, DWORD dwDisposition) {
  return unique_hfile(
      ::CreateFileA(strPath.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, dwDisposition,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// The path the system reached the open file or folder by, links resolved; empty when it
// cannot tell.
std::string FinalPath(HANDLE hFile) {
  std::vector<char> buffer(MAX_PATH);
  for (int nTry = 0; nTry < 2; ++nTry) {
    DWORD dwLength =
        ::GetFinalPathNameByHandleA(hFile, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    if (dwLength == 0) return {};
    if (dwLength < buffer.size()) return std::string(buffer.data(), dwLength);
    buffer.resize(dwLength + 1);
  }
  return {};
}

// The name was a link when the file's own final path is not its folder's final path with
// the name's long form appended: a link elsewhere leads to another folder, one beside it to
// another name. Links further up the path (a log folder that is a junction) change both
// sides alike and are allowed.
bool ReachedThroughLink(HANDLE hFile, const std::string& strPath) {
  FILE_ATTRIBUTE_TAG_INFO tag = {};
  if (::GetFileInformationByHandleEx(hFile, FileAttributeTagInfo, &tag, sizeof(tag)) &&
      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      IsReparseTagNameSurrogate(tag.ReparseTag)) {
    return true;
  }
  char szFull[MAX_PATH * 4];
  DWORD dwFull = ::GetFullPathNameA(strPath.c_str(), sizeof(szFull), szFull, nullptr);
  if (dwFull == 0 || dwFull >= sizeof(szFull)) return false;
  char szLong[MAX_PATH * 4];
  DWORD dwLong = ::GetLongPathNameA(szFull, szLong, sizeof(szLong));
  std::string strFull = dwLong != 0 && dwLong < sizeof(szLong) ? szLong : szFull;
  std::string::size_type slash = strFull.find_last_of("\\/");
  if (slash == std::string::npos) return false;
  std::string strFolder = strFull.substr(0, slash + 1);
  unique_hfile hFolder(::CreateFileA(strFolder.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!hFolder) return false;
  std::string strFolderFinal = FinalPath(hFolder.get());
  std::string strFileFinal = FinalPath(hFile);
  if (strFolderFinal.empty() || strFileFinal.empty()) return false;
  if (strFolderFinal.back() != '\\') strFolderFinal += '\\';
  std::string strExpected = strFolderFinal + strFull.substr(slash + 1);
  return ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, strExpected.c_str(), -1,
                          strFileFinal.c_str(), -1) != CSTR_EQUAL;
}

}  // namespace

unique_hfile OpenPlainFileToAppend(const std::string& strPath) {
  // Created only as a new file: a link that leads nowhere must not get its target made.
  unique_hfile hFile = OpenName(strPath, OPEN_EXISTING);
  if (!hFile && ::GetLastError() == ERROR_FILE_NOT_FOUND) {
    hFile = OpenName(strPath, CREATE_NEW);
    if (!hFile && ::GetLastError() == ERROR_FILE_EXISTS) {
      // Something is there after all: made this very moment, or a link to nowhere.
      hFile = OpenName(strPath, OPEN_EXISTING);
      if (!hFile && ::GetLastError() == ERROR_FILE_NOT_FOUND) {
        ::SetLastError(kErrorOutputIsLink);
        return {};
      }
    }
  }
  if (!hFile) return {};
  if (ReachedThroughLink(hFile.get(), strPath)) {
    ::SetLastError(kErrorOutputIsLink);
    return {};
  }
  return hFile;
}

bool IsSameFile(HANDLE hFile, const std::string& strPath, HANDLE hOther,
                const std::string& strOtherPath) {
  if (EqualsIgnoringCase(strPath, strOtherPath)) return true;
  BY_HANDLE_FILE_INFORMATION mine;
  BY_HANDLE_FILE_INFORMATION theirs;
  return ::GetFileInformationByHandle(hFile, &mine) &&
         ::GetFileInformationByHandle(hOther, &theirs) &&
         mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber &&
         mine.nFileIndexHigh == theirs.nFileIndexHigh && mine.nFileIndexLow == theirs.nFileIndexLow;
}

}  // namespace qm::runner
