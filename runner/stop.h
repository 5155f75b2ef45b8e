#pragma once
// Asking the program of a service to end by itself.

#include "runner/child_process.h"

namespace qm::runner {

// Sends Ctrl+Break to the program's process group (console programs; Ctrl+C where Ctrl+Break
// cannot be sent) and WM_CLOSE to every top-level window of its processes (windowed
// programs). Returns at once.
void AskProgramToEnd(const CChildProcess& child);

}  // namespace qm::runner
