#pragma once
// String-table entries of the executable as std::string.

#include <windows.h>

#include <string>

namespace qm::fw {

// The text of string nId; empty when the string is missing.
std::string LoadResString(UINT nId);

}  // namespace qm::fw
