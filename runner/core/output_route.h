#pragma once
// Whether the program's output passes through the runner. Rotation, timestamps and an output:
// check need every line to reach the runner first (through a pipe and its thread); without
// them the program is handed the file itself, writes at its own speed, and nothing can be lost
// between it and the file.

#include "runner/core/runner_settings.h"

namespace qm::runner {

enum class OutputRoute {
  kDiscarded,  // no Stdout or Stderr and no output: check: the output goes to NUL
  kDirect,     // the program writes the Stdout and Stderr files itself
  kCaptured,   // the runner reads every line, and writes the files when they are set
};

OutputRoute RouteOutput(const RunnerSettings& settings);

}  // namespace qm::runner
