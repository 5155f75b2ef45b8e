#include "dirpicker/subdir_search.h"

#include <windows.h>

#include <cstring>

#include "common/win32_handles.h"

namespace qm::dirpicker {

bool CollectSubdirectories(const char* pszPath, std::vector<std::string>* pvecNames) {
  // A root as the system reports it (D:\) gives a doubled backslash, which the search
  // treats as one.
  std::string strPattern = std::string(pszPath) + "\\*.*";
  WIN32_FIND_DATAA fd{};
  unique_hfind hFind(::FindFirstFileA(strPattern.c_str(), &fd));
  if (!hFind) return false;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (std::strcmp(fd.cFileName, ".") == 0 || std::strcmp(fd.cFileName, "..") == 0) continue;
    pvecNames->push_back(fd.cFileName);
  } while (::FindNextFileA(hFind.get(), &fd));
  return true;
}

}  // namespace qm::dirpicker
