#pragma once
// Opening the files that receive a program's output without following a link planted in
// their place.

#include <windows.h>

#include <string>

#include "common/win32_handles.h"

namespace qm::runner {

// Opens strPath for appending, created when missing; others may read, write and delete it
// meanwhile. A name whose last component is a symbolic link or junction, even one that leads
// nowhere, is refused (bLink set, nothing created or written): whoever can write in the
// folder could otherwise aim the service's output at any file. Other failures leave the
// error in GetLastError.
unique_hfile OpenOutputFile(const std::string& strPath, SECURITY_ATTRIBUTES* pInherit, bool& bLink);

}  // namespace qm::runner
