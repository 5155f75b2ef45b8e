#pragma once
// The directory search behind a listing: the names of a directory's subdirectories.
#include <string>
#include <vector>

namespace qm::dirpicker {

// Searches "<pszPath>\*.*" and collects the names of directory entries other than "." and
// ".." (compared exactly), hidden and system ones included, in the order the search returns
// them. False when the search cannot start (the directory cannot be searched); the last
// error is then the search's.
bool CollectSubdirectories(const char* pszPath, std::vector<std::string>* pvecNames);

}  // namespace qm::dirpicker
