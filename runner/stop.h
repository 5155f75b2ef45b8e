#pragma once
// Asking the program of a service to end by itself.

#include "runner/child_process.h"

namespace qm::runner {

// A console program is sent Ctrl+C, with everything on its console; a windowed one WM_CLOSE
// to every top-level window of the job's processes. Returns at once.
void AskProgramToEnd(const CChildProcess& child);

}  // namespace qm::runner
