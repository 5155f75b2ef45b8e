#pragma once
// Why the runner could not run the program, in one shape for every step: what failed, what it
// concerned and the system's error. The service turns it into one event-log entry and its exit
// code (runner/failure_report.h); the command line's set shows a refused value's description.

#include <cstdint>
#include <string>

namespace qm::runner {

enum class FailureKind {
  kKeyUnreadable,      // the Parameters key cannot be opened; subject: its path
  kValueUnreadable,    // a value cannot be read, or has the wrong type; subject: its name
  kValueRefused,       // a value the runner will not use; subject: its name, detail: why
  kOutputIsLink,       // subject: Stdout or Stderr, detail: the path it names
  kProgramNotStarted,  // subject: the command line, detail: the working folder
  kStepFailed          // step: what was being done
};

struct RunnerFailure {
  FailureKind kind = FailureKind::kStepFailed;
  std::string strStep;
  std::string strSubject;
  std::string strDetail;
  std::uint32_t dwError = 0;  // the system's error; 0 for a refused value
};

}  // namespace qm::runner
