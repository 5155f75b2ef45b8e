#pragma once
// Opening the files that receive a program's output without following a link planted in
// their place.

#include <windows.h>

#include <string>

#include "common/win32_handles.h"

namespace qm::runner {

// The error a refused link is reported with: no file operation gives it.
constexpr DWORD kErrorOutputIsLink = ERROR_BAD_CONFIGURATION;

// Opens strPath for appending, created when missing; others may read, write, rename and
// delete it meanwhile. A name whose last component is a symbolic link or junction, even one
// that leads nowhere, is refused with kErrorOutputIsLink in GetLastError, nothing created or
// written: whoever can write in the folder could otherwise aim the service's output at any
// file. Other failures leave their error in GetLastError.
unique_hfile OpenPlainFileToAppend(const std::string& strPath);

// Whether two open files are one (the same path written differently, or a link).
bool IsSameFile(HANDLE hFile, const std::string& strPath, HANDLE hOther,
                const std::string& strOtherPath);

}  // namespace qm::runner
