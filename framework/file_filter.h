#pragma once
// Open-file dialog filters are written "desc|pattern|desc|pattern||"; the common dialog
// wants each part ended by a NUL and the list by a further NUL. Platform-free.

#include <string>

namespace qm::fw {

// Every '|' becomes a NUL; the result always ends with two NULs (an empty filter gives just
// those two), so the common dialog never reads past it.
std::string ConvertFilter(const char* pszFilter);

}  // namespace qm::fw
