#include "runner/output_capture.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "common/wall_clock.h"
#include "contract/runner_contract.h"
#include "runner/core/output_route.h"
#include "runner/plain_file.h"

namespace qm::runner {

namespace {

// What one stream holds at most: what it read and has not written yet. A line longer than
// this is written in pieces. Under Wine each read is a round trip to the server: a quarter
// MiB a read lets the capture keep up with a program writing 4 KiB blocks (64 KiB did not).
constexpr std::size_t kBufferBytes = 256 * 1024;
// What the program may write ahead of the runner before its writes wait.
constexpr DWORD kPipeBytes = 1024 * 1024;
// Stamped output, written out whenever it is full.
constexpr std::size_t kStampedBytes = 64 * 1024;
// An unfinished line (a prompt, a progress dot) in a file of its own is written after this.
constexpr ULONGLONG kPartialLineMs = 500;
// At the runner's own end, how long the writing may still take.
constexpr DWORD kLastWaitMs = 1000;
constexpr DWORD kThreadStackBytes = 256 * 1024;

}  // namespace

COutputCapture::COutputCapture()
    : m_hRotate(::CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_hAbandon(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_hMatched(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

COutputCapture::~COutputCapture() {
  if (!Finish(kLastWaitMs)) Abandon(kLastWaitMs);
}

bool COutputCapture::Start(const std::string& strServiceName, const RunnerSettings& settings,
                           RunnerFailure* pFailure) {
  static const char* const kNames[2] = {contract::value::kStdout, contract::value::kStderr};
  const OutputRoute route = RouteOutput(settings);
  if (route == OutputRoute::kDiscarded) return true;
  if (route == OutputRoute::kDirect) return OpenDirect(settings, pFailure);
  const std::string* apPaths[2] = {&settings.strStdout, &settings.strStderr};
  const OutputSettings output = OutputOf(settings);
  const auto fail = [&](std::string strStep, DWORD dwError) {
    *pFailure = {FailureKind::kStepFailed, std::move(strStep), "", "", dwError};
    Release();
    return false;
  };
  for (unsigned i = 0; i < 2; ++i) {
    if (apPaths[i]->empty()) continue;
    auto pFile = std::make_unique<CRotatingFile>(strServiceName, *apPaths[i], output);
    const DWORD dwError = pFile->Open();
    if (dwError == kErrorOutputIsLink) {
      *pFailure = {FailureKind::kOutputIsLink, "", kNames[i], *apPaths[i], dwError};
      Release();
      return false;
    }
    if (dwError != ERROR_SUCCESS) {
      return fail(std::string("opening the ") + kNames[i] + " file " + *apPaths[i], dwError);
    }
    if (i == 1 && m_apFiles[0] && m_apFiles[0]->IsSameFile(*pFile)) {
      // One file for both: one writer, so that lines of the two never tear into each other.
      m_aStreams[1].pFile = m_apFiles[0].get();
      m_aStreams[0].bSharesFile = m_aStreams[1].bSharesFile = true;
    } else {
      m_apFiles[i] = std::move(pFile);
      m_aStreams[i].pFile = m_apFiles[i].get();
    }
  }
  // An output: check reads both streams, whether or not they go to a file.
  const CheckSettings checks = ChecksOf(settings);
  const bool bWatched =
      checks.ready.kind == ProbeKind::kOutput || checks.health.kind == ProbeKind::kOutput;
  for (Stream& stream : m_aStreams) {
    if (checks.ready.kind == ProbeKind::kOutput) {
      stream.pReadyMatch = std::make_unique<COutputMatch>(checks.ready.strTarget);
    }
    if (checks.health.kind == ProbeKind::kOutput) {
      stream.pHealthMatch = std::make_unique<COutputMatch>(checks.health.strTarget);
    }
  }

  m_bTimestamps = output.bTimestamps;
  if (m_bTimestamps) m_pStamped = std::make_unique<char[]>(kStampedBytes);
  for (unsigned i = 0; i < 2; ++i) {
    Stream& stream = m_aStreams[i];
    DWORD dwError = ERROR_SUCCESS;
    if ((stream.pFile || bWatched) && !CreatePipe(stream, i, dwError)) {
      return fail(std::string("creating the pipe for ") + kNames[i], dwError);
    }
    m_ahForProgram[i] = stream.hWrite.get();
  }
  if (!m_hRotate || !m_hAbandon || !m_hMatched) {
    return fail("creating the output events", ERROR_NOT_ENOUGH_MEMORY);
  }
  ::ResetEvent(m_hAbandon.get());
  m_ullUnwritten = m_ullLeftByThread = 0;
  m_hThread.reset(::CreateThread(nullptr, kThreadStackBytes, ThreadMain, this,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (!m_hThread) return fail("starting the output thread", ::GetLastError());
  m_bRunning = true;
  return true;
}

bool COutputCapture::OpenDirect(const RunnerSettings& settings, RunnerFailure* pFailure) {
  static const char* const kNames[2] = {contract::value::kStdout, contract::value::kStderr};
  const std::string* apPaths[2] = {&settings.strStdout, &settings.strStderr};
  for (unsigned i = 0; i < 2; ++i) {
    if (apPaths[i]->empty()) continue;
    unique_hfile hFile = OpenPlainFileToAppend(*apPaths[i]);
    const DWORD dwError = hFile ? ERROR_SUCCESS : ::GetLastError();
    if (dwError == ERROR_SUCCESS &&
        !::SetHandleInformation(hFile.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
      *pFailure = {
          FailureKind::kStepFailed,
          std::string("handing the ") + kNames[i] + " file " + *apPaths[i] + " to the program", "",
          "", ::GetLastError()};
      Release();
      return false;
    }
    if (dwError == kErrorOutputIsLink) {
      *pFailure = {FailureKind::kOutputIsLink, "", kNames[i], *apPaths[i], dwError};
      Release();
      return false;
    }
    if (dwError != ERROR_SUCCESS) {
      *pFailure = {FailureKind::kStepFailed,
                   std::string("opening the ") + kNames[i] + " file " + *apPaths[i], "", "",
                   dwError};
      Release();
      return false;
    }
    if (i == 1 && m_ahDirect[0] &&
        IsSameFile(m_ahDirect[0].get(), *apPaths[0], hFile.get(), *apPaths[1])) {
      m_ahForProgram[1] = m_ahForProgram[0];
      continue;
    }
    m_ahDirect[i] = std::move(hFile);
    m_ahForProgram[i] = m_ahDirect[i].get();
  }
  return true;
}

bool COutputCapture::CreatePipe(Stream& stream, unsigned nIndex, DWORD& dwError) {
  // Anonymous pipes cannot be read with a timeout; a named one can. First instance only, so
  // that nobody else can have made it first; a name taken already is passed over.
  static std::atomic<unsigned> s_nPipes{0};
  HANDLE hRead = INVALID_HANDLE_VALUE;
  char szName[96];
  for (int nTry = 0; nTry < 16 && hRead == INVALID_HANDLE_VALUE; ++nTry) {
    std::snprintf(szName, sizeof(szName), "\\\\.\\pipe\\carrack-%lu-%llu-%u-%u",
                  static_cast<unsigned long>(::GetCurrentProcessId()),
                  static_cast<unsigned long long>(::GetTickCount64()), s_nPipes.fetch_add(1),
                  nIndex);
    hRead = ::CreateNamedPipeA(
        szName, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, kPipeBytes, 0, nullptr);
    dwError = hRead == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
    if (dwError != ERROR_ACCESS_DENIED && dwError != ERROR_PIPE_BUSY) break;
  }
  if (hRead == INVALID_HANDLE_VALUE) return false;
  stream.hRead.reset(hRead);
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  stream.hWrite.reset(::CreateFileA(szName, GENERIC_WRITE, 0, &inherit, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  stream.hReadDone.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!stream.hWrite || !stream.hReadDone) {
    dwError = ::GetLastError();
    return false;
  }
  stream.pBuffer = std::make_unique<char[]>(kBufferBytes);
  stream.bOpen = true;
  return true;
}

bool COutputCapture::RequestRotation() {
  if (!m_bRunning || (!m_apFiles[0] && !m_apFiles[1])) return false;
  ::SetEvent(m_hRotate.get());
  return true;
}

bool COutputCapture::Finish(DWORD dwWaitMs) {
  // The pipes end once the program's ends are closed too; the thread writes what is left and
  // ends when the last writer has gone. A file the program wrote itself has all of it already.
  ForgetProgramEnds();
  if (m_hThread && ::WaitForSingleObject(m_hThread.get(), dwWaitMs) != WAIT_OBJECT_0) {
    return false;
  }
  Release();
  return true;
}

void COutputCapture::Abandon(DWORD dwWaitMs) {
  ForgetProgramEnds();
  if (!m_hThread) return;
  ::SetEvent(m_hAbandon.get());
  if (::WaitForSingleObject(m_hThread.get(), dwWaitMs) != WAIT_OBJECT_0) {
    // Still inside a write: it keeps what it uses until the process ends. At least what is in
    // the pipes is lost.
    m_ullUnwritten = 0;
    for (const Stream& stream : m_aStreams) {
      if (stream.hRead) m_ullUnwritten += InPipe(stream);
    }
    return;
  }
  Release();
}

void COutputCapture::ForgetProgramEnds() {
  for (Stream& stream : m_aStreams) stream.hWrite.reset();
  for (auto& hFile : m_ahDirect) hFile.reset();
  m_ahForProgram[0] = m_ahForProgram[1] = nullptr;
}

void COutputCapture::Release() {
  ForgetProgramEnds();
  if (m_hThread) m_ullUnwritten = m_ullLeftByThread;
  m_hThread.reset();
  m_bRunning = false;
  for (Stream& stream : m_aStreams) {
    stream.hRead.reset();
    stream.hWrite.reset();
    stream.hReadDone.reset();
    stream.pBuffer.reset();
    stream.pFile = nullptr;
    stream.bOpen = stream.bPending = stream.bSharesFile = false;
    stream.nUsed = stream.nWritten = 0;
    stream.ullPartialSince = 0;
    stream.stamper = {};
    stream.pReadyMatch.reset();
    stream.pHealthMatch.reset();
  }
  for (auto& pFile : m_apFiles) pFile.reset();
}

DWORD WINAPI COutputCapture::ThreadMain(void* pContext) {
  static_cast<COutputCapture*>(pContext)->Run();
  return 0;
}

void COutputCapture::Run() {
  for (Stream& stream : m_aStreams) {
    if (stream.bOpen) StartRead(stream);
  }
  for (;;) {
    HANDLE ahWait[4];
    DWORD nWait = 0;
    ULONGLONG ullWake = ULLONG_MAX;
    for (Stream& stream : m_aStreams) {
      if (!stream.bOpen) continue;
      ahWait[nWait++] = stream.hReadDone.get();
      if (!stream.bSharesFile && stream.ullPartialSince != 0) {
        ullWake = std::min(ullWake, stream.ullPartialSince + kPartialLineMs);
      }
    }
    if (nWait == 0) return;  // every writer has gone, and everything they wrote is written
    DWORD nStreams = nWait;
    ahWait[nWait++] = m_hRotate.get();
    ahWait[nWait++] = m_hAbandon.get();
    ULONGLONG ullNow = ::GetTickCount64();
    DWORD dwTimeout = ullWake == ULLONG_MAX ? INFINITE
                      : ullWake > ullNow    ? static_cast<DWORD>(ullWake - ullNow)
                                            : 0;
    DWORD dwWhich = ::WaitForMultipleObjects(nWait, ahWait, FALSE, dwTimeout);
    if (dwWhich == WAIT_OBJECT_0 + nStreams + 1 || dwWhich == WAIT_FAILED) break;
    if (dwWhich == WAIT_OBJECT_0 + nStreams) {
      for (auto& pFile : m_apFiles) {
        if (pFile) pFile->RequestRotation();
      }
    }
    // Every stream whose read is done, not just the first: a busy one must not starve the other.
    for (Stream& stream : m_aStreams) {
      if (stream.bOpen && stream.bPending && HasOverlappedIoCompleted(&stream.overlapped)) {
        OnReadDone(stream);
      }
    }
    ullNow = ::GetTickCount64();
    for (Stream& stream : m_aStreams) {
      if (stream.bOpen && !stream.bSharesFile && stream.ullPartialSince != 0 &&
          ullNow >= stream.ullPartialSince + kPartialLineMs) {
        Deliver(stream, true);  // a read into the rest of the buffer may be under way
      }
    }
  }
  // Abandoned (or unable to wait): what has not been written stays so.
  for (Stream& stream : m_aStreams) {
    if (!stream.bOpen) continue;
    EndRead(stream);
    m_ullLeftByThread += stream.nUsed - stream.nWritten + InPipe(stream);
    stream.bOpen = false;
  }
}

void COutputCapture::StartRead(Stream& stream) {
  stream.overlapped = {};
  stream.overlapped.hEvent = stream.hReadDone.get();
  ::ResetEvent(stream.hReadDone.get());
  // Deliver always leaves room.
  DWORD dwRoom = static_cast<DWORD>(kBufferBytes - stream.nUsed);
  if (::ReadFile(stream.hRead.get(), stream.pBuffer.get() + stream.nUsed, dwRoom, nullptr,
                 &stream.overlapped) ||
      ::GetLastError() == ERROR_IO_PENDING) {
    stream.bPending = true;  // done at once or later, the event says so
    return;
  }
  // Every writer has gone.
  Deliver(stream, true);
  stream.bOpen = false;
}

void COutputCapture::OnReadDone(Stream& stream) {
  stream.bPending = false;
  DWORD dwRead = 0;
  if (!::GetOverlappedResult(stream.hRead.get(), &stream.overlapped, &dwRead, FALSE) &&
      ::GetLastError() != ERROR_MORE_DATA) {
    // Broken pipe: every writer has gone, and this stream has given everything.
    Deliver(stream, true);
    stream.bOpen = false;
    return;
  }
  Match(stream, std::string_view(stream.pBuffer.get() + stream.nUsed, dwRead));
  stream.nUsed += dwRead;
  Deliver(stream, false);
  // No read is under way: what was written moves out of the buffer, making room.
  std::memmove(stream.pBuffer.get(), stream.pBuffer.get() + stream.nWritten,
               stream.nUsed - stream.nWritten);
  stream.nUsed -= stream.nWritten;
  stream.nWritten = 0;
  StartRead(stream);
}

void COutputCapture::Deliver(Stream& stream, bool bEverything) {
  const char* pBuffer = stream.pBuffer.get();
  std::size_t nEnd = stream.nUsed;
  if (!bEverything) {
    while (nEnd > stream.nWritten && pBuffer[nEnd - 1] != '\n') --nEnd;
    // A line that fills the buffer goes out in pieces.
    if (nEnd == stream.nWritten && stream.nUsed == kBufferBytes) nEnd = kBufferBytes;
  }
  bool bWrote = nEnd > stream.nWritten;
  if (bWrote) {
    WriteOut(stream, pBuffer + stream.nWritten, nEnd - stream.nWritten);
    stream.nWritten = nEnd;
  }
  if (stream.nWritten == stream.nUsed) {
    stream.ullPartialSince = 0;
  } else if (bWrote || stream.ullPartialSince == 0) {
    stream.ullPartialSince = ::GetTickCount64();
  }
}

void COutputCapture::Match(Stream& stream, std::string_view data) {
  bool bMatched = false;
  if (stream.pReadyMatch && stream.pReadyMatch->Feed(data)) {
    m_nReadyMatches.fetch_add(1);
    bMatched = true;
  }
  if (stream.pHealthMatch && stream.pHealthMatch->Feed(data)) {
    m_nHealthMatches.fetch_add(1);
    bMatched = true;
  }
  if (bMatched) ::SetEvent(m_hMatched.get());
}

COutputCapture::Matches COutputCapture::TakeMatches() {
  return {m_nReadyMatches.exchange(0), m_nHealthMatches.exchange(0)};
}

void COutputCapture::WriteOut(Stream& stream, const char* pData, std::size_t nBytes) {
  if (!stream.pFile) return;  // read for the checks only
  std::string_view data(pData, nBytes);
  if (!m_bTimestamps) {
    stream.pFile->Write(data);
    return;
  }
  // Lines that arrived together carry the same time: when the runner received them.
  char szStamp[kTimestampLength + 1];
  FormatTimestamp(LocalNow(), szStamp);
  while (!data.empty()) {
    std::size_t nStamped = 0;
    std::size_t nUsed = stream.stamper.Stamp(data, std::string_view(szStamp, kTimestampLength),
                                             m_pStamped.get(), kStampedBytes, nStamped);
    stream.pFile->Write(std::string_view(m_pStamped.get(), nStamped));
    data.remove_prefix(nUsed);
  }
}

void COutputCapture::EndRead(Stream& stream) {
  if (!stream.bPending) return;
  ::CancelIo(stream.hRead.get());
  DWORD dwRead = 0;
  if (::GetOverlappedResult(stream.hRead.get(), &stream.overlapped, &dwRead, TRUE)) {
    stream.nUsed += dwRead;  // what it got before it was cancelled
  }
  stream.bPending = false;
}

std::uint64_t COutputCapture::InPipe(const Stream& stream) {
  DWORD dwAvailable = 0;
  if (!::PeekNamedPipe(stream.hRead.get(), nullptr, 0, nullptr, &dwAvailable, nullptr)) return 0;
  return dwAvailable;
}

}  // namespace qm::runner
