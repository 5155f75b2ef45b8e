#include "contract/state_record.h"

#include <atomic>

namespace qm::contract {

namespace {

namespace st = contract::state;

std::uint32_t Low(std::uint64_t qw) {
  return static_cast<std::uint32_t>(qw);
}
std::uint32_t High(std::uint64_t qw) {
  return static_cast<std::uint32_t>(qw >> 32);
}
std::uint64_t Join(std::uint32_t dwLow, std::uint32_t dwHigh) {
  return (static_cast<std::uint64_t>(dwHigh) << 32) | dwLow;
}

bool KnownPhase(std::uint32_t dwPhase) {
  return dwPhase >= static_cast<std::uint32_t>(st::Phase::kStarting) &&
         dwPhase <= static_cast<std::uint32_t>(st::Phase::kStopping);
}

}  // namespace

// Each word is one aligned 32-bit access (volatile: never merged, split or cached); the
// fences keep the sequence steps on either side of the words they guard.
void WriteStateRecord(StateWords pWords, const RunnerState& state) {
  const std::uint32_t dwSequence = pWords[st::kSequence];
  pWords[st::kSequence] = dwSequence | 1u;
  std::atomic_thread_fence(std::memory_order_release);
  pWords[st::kSize] = st::kRecordBytes;
  pWords[st::kVersion] = st::kLayoutVersion;
  pWords[st::kPhase] = static_cast<std::uint32_t>(state.phase);
  pWords[st::kProcessId] = state.dwProcessId;
  pWords[st::kStartedLow] = Low(state.qwStarted);
  pWords[st::kStartedHigh] = High(state.qwStarted);
  pWords[st::kHasExitCode] = state.bHasExitCode ? 1u : 0u;
  pWords[st::kExitCode] = state.dwExitCode;
  pWords[st::kRestartsInRow] = state.dwRestartsInRow;
  pWords[st::kNextStartLow] = Low(state.qwNextStart);
  pWords[st::kNextStartHigh] = High(state.qwNextStart);
  std::atomic_thread_fence(std::memory_order_release);
  pWords[st::kSequence] = (dwSequence | 1u) + 1u;
}

StateRead ReadStateRecord(ConstStateWords pWords, RunnerState* pState, int nTries,
                          const std::function<void()>& pause) {
  for (int nTry = 0; nTry < nTries; ++nTry) {
    if (nTry > 0) pause();
    const std::uint32_t dwBefore = pWords[st::kSequence];
    // Odd: a write is under way; zero: a fresh section the runner has not written yet.
    if ((dwBefore & 1u) != 0 || dwBefore == 0) continue;
    std::atomic_thread_fence(std::memory_order_acquire);
    std::uint32_t adwCopy[st::kWordCount];
    for (std::size_t i = 0; i < st::kWordCount; ++i) adwCopy[i] = pWords[i];
    std::atomic_thread_fence(std::memory_order_acquire);
    if (pWords[st::kSequence] != dwBefore) continue;
    if (adwCopy[st::kSize] != st::kRecordBytes || adwCopy[st::kVersion] != st::kLayoutVersion ||
        !KnownPhase(adwCopy[st::kPhase])) {
      return StateRead::kUnknownLayout;
    }
    pState->phase = static_cast<st::Phase>(adwCopy[st::kPhase]);
    pState->dwProcessId = adwCopy[st::kProcessId];
    pState->qwStarted = Join(adwCopy[st::kStartedLow], adwCopy[st::kStartedHigh]);
    pState->bHasExitCode = adwCopy[st::kHasExitCode] != 0;
    pState->dwExitCode = adwCopy[st::kExitCode];
    pState->dwRestartsInRow = adwCopy[st::kRestartsInRow];
    pState->qwNextStart = Join(adwCopy[st::kNextStartLow], adwCopy[st::kNextStartHigh]);
    return StateRead::kRead;
  }
  return StateRead::kBusy;
}

}  // namespace qm::contract
