// The runner's published record: its words, the layouts a reader refuses, and copies that
// never mix two writes.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iterator>
#include <thread>

#include "contract/state_record.h"

namespace qm::contract {
namespace {

namespace st = contract::state;

const RunnerState kWaiting = {st::Phase::kRestarting, 0, 0x0123456789ABCDEFull, true, 3, 2,
                              0xFEDCBA9876543210ull};

auto NoPause = [] {};

TEST(StateRecordTest, WritesTheContractsWordsAndReadsThemBack) {
  std::uint32_t adwWords[st::kWordCount] = {};
  WriteStateRecord(adwWords, kWaiting);
  EXPECT_EQ(adwWords[st::kSequence], 2u);
  EXPECT_EQ(adwWords[st::kStartedHigh], 0x01234567u);
  RunnerState state;
  ASSERT_EQ(ReadStateRecord(adwWords, &state, 1, NoPause), StateRead::kRead);
  EXPECT_EQ(state, kWaiting);
  WriteStateRecord(adwWords, RunnerState{});
  EXPECT_EQ(adwWords[st::kSequence], 4u);
  ASSERT_EQ(ReadStateRecord(adwWords, &state, 1, NoPause), StateRead::kRead);
  EXPECT_EQ(state, RunnerState{});
}

TEST(StateRecordTest, RefusesOtherLayoutsAndWaitsOutWrites) {
  struct Case {
    st::Word word;
    std::uint32_t dwValue;
    StateRead expected;
  };
  const Case cases[] = {
      {st::kSize, st::kRecordBytes + 4, StateRead::kUnknownLayout},
      {st::kVersion, st::kLayoutVersion + 1, StateRead::kUnknownLayout},
      // The first layout's version with this layout's size (or the other way round).
      {st::kVersion, st::kFirstLayoutVersion, StateRead::kUnknownLayout},
      {st::kSize, st::kFirstLayoutBytes, StateRead::kUnknownLayout},
      {st::kPhase, 0, StateRead::kUnknownLayout},
      {st::kPhase, 5, StateRead::kUnknownLayout},
      {st::kSequence, 7, StateRead::kBusy},  // a write that never ends
      {st::kSequence, 0, StateRead::kBusy},  // a section not written yet
  };
  for (const Case& c : cases) {
    std::uint32_t adwWords[st::kWordCount] = {};
    WriteStateRecord(adwWords, kWaiting);
    adwWords[c.word] = c.dwValue;
    RunnerState state;
    int nPauses = 0;
    EXPECT_EQ(ReadStateRecord(adwWords, &state, 5, [&] { ++nPauses; }), c.expected) << c.word;
    EXPECT_EQ(nPauses, c.expected == StateRead::kBusy ? 4 : 0) << c.word;
  }

  // A write under way when the reader comes is waited out.
  std::uint32_t adwWords[st::kWordCount] = {};
  WriteStateRecord(adwWords, RunnerState{});
  adwWords[st::kSequence] |= 1;
  RunnerState state;
  EXPECT_EQ(ReadStateRecord(adwWords, &state, 3, [&] { WriteStateRecord(adwWords, kWaiting); }),
            StateRead::kRead);
  EXPECT_EQ(state, kWaiting);
}

// A runner from before the checks publishes twelve words: a newer tool shows its view, with
// nothing of the checks.
TEST(StateRecordTest, ReadsARecordOfTheFirstLayout) {
  std::uint32_t adwWords[st::kWordCount] = {};
  const std::uint32_t adwOld[st::kFirstLayoutWordCount] = {
      st::kFirstLayoutBytes, 1, 6, 2, 1234, 0x89ABCDEF, 0x01234567, 1, 3, 2, 0, 0};
  std::copy(std::begin(adwOld), std::end(adwOld), adwWords);
  adwWords[st::kCheckFlags] = 0xFFFFFFFF;  // whatever lies beyond the old record is not read
  RunnerState state;
  ASSERT_EQ(ReadStateRecord(adwWords, &state, 1, NoPause), StateRead::kRead);
  const RunnerState expected = {st::Phase::kRunning, 1234, 0x0123456789ABCDEFull, true, 3, 2, 0};
  EXPECT_EQ(state, expected);
}

// The texts go through whole up to their room, cut to it beyond, and never bring a reader
// another process's control characters.
TEST(StateRecordTest, CarriesTheChecksTextsWithinTheirRoom) {
  const std::size_t nRoom = st::kTextWords * 4 - 1;
  RunnerState written = kWaiting;
  written.dwCheckFlags = st::kWaitingForReady | st::kHealthChecked;
  written.qwWaitStarted = 0x1122334455667788ull;
  written.dwReadyTimeoutMs = 60000;
  written.dwHealthFailures = 2;
  written.dwHealthRetries = 3;
  written.strCheck = "http://localhost:8080/health";
  written.strSeen = std::string(nRoom, 'x') + "cut";
  written.strProgramStatus = "line\tone\r\n";
  std::uint32_t adwWords[st::kWordCount] = {};
  WriteStateRecord(adwWords, written);
  RunnerState state;
  ASSERT_EQ(ReadStateRecord(adwWords, &state, 1, NoPause), StateRead::kRead);
  EXPECT_EQ(state.strCheck, written.strCheck);
  EXPECT_EQ(state.strSeen, std::string(nRoom, 'x'));
  EXPECT_EQ(state.strProgramStatus, "line one  ");
  state.strSeen = written.strSeen;
  state.strProgramStatus = written.strProgramStatus;
  EXPECT_EQ(state, written);
}

// One thread writes records whose fields all derive from one number while another copies them:
// every copy taken must be one whole record. The reader goes on until it has met many writes
// (or for a few seconds on a machine too busy to run both at once).
TEST(StateRecordTest, ACopyNeverMixesTwoWrites) {
  std::uint32_t adwWords[st::kWordCount] = {};
  WriteStateRecord(adwWords, RunnerState{st::Phase::kRunning, 0, 0, false, 0, 0, 0});
  std::atomic<bool> bDone{false};
  std::thread writer([&] {
    for (std::uint32_t n = 1; !bDone.load(std::memory_order_relaxed); ++n) {
      WriteStateRecord(adwWords, RunnerState{st::Phase::kRunning, n, std::uint64_t{n} << 20, true,
                                             n, n, std::uint64_t{n} * 3});
    }
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  std::uint32_t nDistinct = 0;
  std::uint32_t nLast = 0;
  while (nDistinct < 2000 && std::chrono::steady_clock::now() < deadline) {
    RunnerState state;
    if (ReadStateRecord(adwWords, &state, 1000, [] { std::this_thread::yield(); }) !=
        StateRead::kRead) {
      continue;
    }
    const std::uint32_t n = state.dwProcessId;
    if (state.qwStarted != std::uint64_t{n} << 20 || state.dwExitCode != n ||
        state.dwRestartsInRow != n || state.qwNextStart != std::uint64_t{n} * 3) {
      ADD_FAILURE() << "a mixed copy at " << n;
      break;
    }
    if (n != nLast) ++nDistinct;
    nLast = n;
  }
  bDone = true;
  writer.join();
  EXPECT_GT(nDistinct, 0u);
}

}  // namespace
}  // namespace qm::contract
