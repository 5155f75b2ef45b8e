#pragma once
// The user guide replaces the old help engine: an HTML page beside the executable, opened
// in the user's default browser.

#include <windows.h>

#include <string>

namespace qm::fw {

// The executable's own path with its extension replaced by ".html".
std::string DefaultHelpPath();

// The one way to the guide, for the Help button (window help) and the application's Help
// command (F1): the application's help path, else the default, opened for hOwner.
bool OpenUserGuide(HWND hOwner);

// Opens the guide with the shell's "open" verb. When that fails, shows one message box
// naming where the guide should be and returns false.
bool OpenHelpFile(HWND hOwner, const char* pszPath);

// The message box text for a guide that could not be opened (bounded by nCapacity).
void FormatHelpMissing(const char* pszPath, char* pszText, size_t nCapacity);

}  // namespace qm::fw
