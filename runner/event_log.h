#pragma once
// Entries of the runner in the Application event log, source "carrack". Each failure writes
// exactly one entry; the message texts live in the runner's own message table.

#include <windows.h>

#include <initializer_list>
#include <string>

namespace qm::runner {

// Registers the source under the EventLog\Application key when it is missing, so that Event
// Viewer finds the message table in this executable. Failing to do so is not fatal.
void RegisterEventSourceOnce();

// Writes one entry with the given message and insertion strings (at most 8).
void WriteEvent(WORD wType, DWORD dwMessageId, std::initializer_list<const char*> strings);

// The text of a system error code, one line, followed by its code in hexadecimal.
std::string SystemErrorText(DWORD dwError);

}  // namespace qm::runner
