#pragma once
// Asking the program of a service to end by itself.

#include "runner/child_process.h"

namespace qm::runner {

// A console program is sent Ctrl+Break (Ctrl+C where Ctrl+Break cannot be sent) to its
// process group; a windowed one WM_CLOSE to every top-level window of its processes.
// Returns at once.
void AskProgramToEnd(const CChildProcess& child);

}  // namespace qm::runner
