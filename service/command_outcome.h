#pragma once
// How an Install or a Remove ended: what kind of end, why, and the text the window shows for
// it. The window and the command line each present it in their own way.

#include <cstdint>
#include <string>

namespace qm::svc {

enum class OutcomeKind {
  kCreated,  // the service exists; its Parameters key is complete unless step says otherwise
  kRemoved,  // deleted, or marked for deletion once it stops
  kRefused,  // nothing was changed: see refusal
  kFailed    // a system call failed and nothing was changed: see step and dwError
};

enum class Refusal {
  kNone,
  kSpaceInName,
  kAlreadyRegistered,
  kQuoteInExecutable,
  kRunnerPathTooLong,  // carrack.exe's path beside this tool would not fit MAX_PATH
  kNotRegistered,
  kNotConfirmed,   // the first question was answered No
  kNotReconfirmed  // the second question was answered No
};

// The step whose system call failed.
enum class FailedStep {
  kNone,
  kModulePath,   // this tool's own path
  kOpenManager,  // opening the Service Control Manager to create or to query
  kCreateService,
  kParametersKey,  // the steps after a creation: the service stays, its key is incomplete
  kInstallerValue,
  kArgumentsValue,
  kRunfileValue,
  kDirectoryValue,
  kPreshutdownTimeout,  // the service stays, with the system's pre-shutdown timeout
  kOpenService,         // opening the service to read its start type
  kQueryConfig,         // reading its start type
  kDelete               // stopping and deleting it, any call on the way
};

struct CommandOutcome {
  OutcomeKind kind = OutcomeKind::kFailed;
  Refusal refusal = Refusal::kNone;
  FailedStep step = FailedStep::kNone;  // for kCreated: the first Parameters step that failed
  std::uint32_t dwError = 0;            // the system error of that step, 0 when none
  std::string strText;                  // what the window shows; empty when it shows nothing

  bool Succeeded() const {
    return (kind == OutcomeKind::kCreated || kind == OutcomeKind::kRemoved) &&
           step == FailedStep::kNone;
  }
};

}  // namespace qm::svc
