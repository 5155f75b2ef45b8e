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

constexpr std::size_t kTextBytes = st::kTextWords * sizeof(std::uint32_t);

// The text's bytes, four to a word (the first in the low byte), NUL-ended within the words.
void WriteText(StateWords pWords, std::size_t nFirst, const std::string& strText) {
  const std::size_t nLength = strText.size() < kTextBytes ? strText.size() : kTextBytes - 1;
  for (std::size_t nWord = 0; nWord < st::kTextWords; ++nWord) {
    std::uint32_t dwWord = 0;
    for (std::size_t nByte = 0; nByte < 4; ++nByte) {
      const std::size_t nAt = nWord * 4 + nByte;
      const unsigned char ch = nAt < nLength ? static_cast<unsigned char>(strText[nAt]) : 0;
      dwWord |= static_cast<std::uint32_t>(ch) << (8 * nByte);
    }
    pWords[nFirst + nWord] = dwWord;
  }
}

// Up to the first NUL; a control character (the record is another process's) becomes a blank.
std::string ReadText(const std::uint32_t* pCopy, std::size_t nFirst) {
  std::string strText;
  for (std::size_t nAt = 0; nAt < kTextBytes; ++nAt) {
    const auto ch = static_cast<char>(pCopy[nFirst + nAt / 4] >> (8 * (nAt % 4)));
    if (ch == '\0') break;
    strText.push_back(static_cast<unsigned char>(ch) < 0x20 ? ' ' : ch);
  }
  return strText;
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
  pWords[st::kCheckFlags] = state.dwCheckFlags;
  pWords[st::kWaitStartedLow] = Low(state.qwWaitStarted);
  pWords[st::kWaitStartedHigh] = High(state.qwWaitStarted);
  pWords[st::kReadyTimeoutMs] = state.dwReadyTimeoutMs;
  pWords[st::kHealthFailures] = state.dwHealthFailures;
  pWords[st::kHealthRetries] = state.dwHealthRetries;
  WriteText(pWords, st::kCheckText, state.strCheck);
  WriteText(pWords, st::kSeenText, state.strSeen);
  WriteText(pWords, st::kProgramStatus, state.strProgramStatus);
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
    const bool bFirstLayout = adwCopy[st::kSize] == st::kFirstLayoutBytes &&
                              adwCopy[st::kVersion] == st::kFirstLayoutVersion;
    const bool bLayout =
        adwCopy[st::kSize] == st::kRecordBytes && adwCopy[st::kVersion] == st::kLayoutVersion;
    if ((!bFirstLayout && !bLayout) || !KnownPhase(adwCopy[st::kPhase])) {
      return StateRead::kUnknownLayout;
    }
    *pState = RunnerState{};
    pState->phase = static_cast<st::Phase>(adwCopy[st::kPhase]);
    pState->dwProcessId = adwCopy[st::kProcessId];
    pState->qwStarted = Join(adwCopy[st::kStartedLow], adwCopy[st::kStartedHigh]);
    pState->bHasExitCode = adwCopy[st::kHasExitCode] != 0;
    pState->dwExitCode = adwCopy[st::kExitCode];
    pState->dwRestartsInRow = adwCopy[st::kRestartsInRow];
    pState->qwNextStart = Join(adwCopy[st::kNextStartLow], adwCopy[st::kNextStartHigh]);
    if (bFirstLayout) return StateRead::kRead;
    pState->dwCheckFlags = adwCopy[st::kCheckFlags];
    pState->qwWaitStarted = Join(adwCopy[st::kWaitStartedLow], adwCopy[st::kWaitStartedHigh]);
    pState->dwReadyTimeoutMs = adwCopy[st::kReadyTimeoutMs];
    pState->dwHealthFailures = adwCopy[st::kHealthFailures];
    pState->dwHealthRetries = adwCopy[st::kHealthRetries];
    pState->strCheck = ReadText(adwCopy, st::kCheckText);
    pState->strSeen = ReadText(adwCopy, st::kSeenText);
    pState->strProgramStatus = ReadText(adwCopy, st::kProgramStatus);
    return StateRead::kRead;
  }
  return StateRead::kBusy;
}

}  // namespace qm::contract
