#pragma once
// The runner's record of its program as words in shared memory, and the sequence lock that
// lets another process copy it without a lock of its own: the runner makes the sequence odd,
// writes, and makes it even again; a reader keeps a copy only when the sequence was the same
// even number before and after it.

#include <cstdint>
#include <functional>
#include <string>

#include "contract/runner_contract.h"

namespace qm::contract {

struct RunnerState {
  state::Phase phase = state::Phase::kStarting;
  std::uint32_t dwProcessId = 0;
  std::uint64_t qwStarted = 0;  // FILETIME, UTC
  bool bHasExitCode = false;
  std::uint32_t dwExitCode = 0;
  std::uint32_t dwRestartsInRow = 0;
  std::uint64_t qwNextStart = 0;  // FILETIME, UTC
  // The checks (layout 2; a record of layout 1 reads with these empty).
  std::uint32_t dwCheckFlags = 0;   // state::CheckFlag bits
  std::uint64_t qwWaitStarted = 0;  // FILETIME, UTC
  std::uint32_t dwReadyTimeoutMs = 0;
  std::uint32_t dwHealthFailures = 0;
  std::uint32_t dwHealthRetries = 0;
  std::string strCheck{};          // as the runner describes it: "tcp:127.0.0.1:8080"
  std::string strSeen{};           // what the last failed probe saw: "connection refused"
  std::string strProgramStatus{};  // the program's last STATUS= line

  bool operator==(const RunnerState&) const = default;
};

using StateWords = volatile std::uint32_t*;
using ConstStateWords = const volatile std::uint32_t*;

// Writes state into the record (kWordCount words), size, version and sequence included; a
// text longer than its words is cut. One writer at a time: the runner serialises its calls.
void WriteStateRecord(StateWords pWords, const RunnerState& state);

enum class StateRead {
  kRead,
  kBusy,          // never the same even sequence twice within the tries
  kUnknownLayout  // a size or version this reader does not know, or an unknown phase
};

// Copies the record into *pState, of this layout or of the first (pWords must hold kWordCount
// words all the same); between tries that met a write under way, calls pause (the
// writer is another process, which may be between its two sequence steps for a while).
StateRead ReadStateRecord(ConstStateWords pWords, RunnerState* pState, int nTries,
                          const std::function<void()>& pause);

}  // namespace qm::contract
