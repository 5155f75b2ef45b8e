#pragma once
// The program's standard output and standard error, carried through pipes to the Stdout and
// Stderr files by one thread of the runner. That thread writes whole lines as they arrive (a
// line waits only for its line end), so the program is never held up by more than a file
// write, the runner's memory stays bounded, and two streams sharing a file never tear each
// other's lines. Without Stdout and Stderr values nothing is captured, unless an output: check
// needs to see the lines: then they are read, looked at, and dropped. When nothing needs the
// lines (no rotation, no timestamps, no output: check) the program is handed the files
// themselves instead (runner/core/output_route.h): no pipe, no thread, nothing in between.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "common/win32_handles.h"
#include "runner/core/line_stamper.h"
#include "runner/core/output_match.h"
#include "runner/core/runner_settings.h"
#include "runner/rotating_file.h"

namespace qm::runner {

class COutputCapture {
 public:
  COutputCapture();
  ~COutputCapture();
  COutputCapture(const COutputCapture&) = delete;
  COutputCapture& operator=(const COutputCapture&) = delete;

  // Opens the files the settings name and the pipes into them, and starts the thread. On
  // failure returns false with what failed (kOutputIsLink for a file that is a link, refused);
  // nothing is left open.
  bool Start(const std::string& strServiceName, const RunnerSettings& settings,
             RunnerFailure* pFailure);
  // The handles the program writes to (inheritable: a pipe, or the file itself), or nullptr
  // for a stream that goes to NUL. They stay valid until Finish, for every start of the
  // program.
  HANDLE StdoutForProgram() const { return m_ahForProgram[0]; }
  HANDLE StderrForProgram() const { return m_ahForProgram[1]; }

  // Asks for a rotation of every file, now; false when the runner writes no file (none is
  // set, or the program writes them itself). Safe from any thread.
  bool RequestRotation();
  // Signalled when a line held an output: check's text (the ReadyCheck's or the HealthCheck's);
  // TakeMatches says which, and how many since it last did.
  HANDLE MatchEvent() const { return m_hMatched.get(); }
  struct Matches {
    unsigned nReady = 0;
    unsigned nHealth = 0;
  };
  Matches TakeMatches();
  // Once the program and everything it started have ended: lets go of the runner's own ends of
  // the pipes, so that the reading ends when the last writer has gone, and waits up to
  // dwWaitMs for everything written to be in the files. True once it is (at once when nothing
  // is captured); false while the writing goes on: call again to wait longer, or Abandon.
  bool Finish(DWORD dwWaitMs);
  // Its deadline has passed: ends the writing, leaving what is still in the buffers and pipes
  // unwritten. Waits up to dwWaitMs for the thread to end the write it is in.
  void Abandon(DWORD dwWaitMs);
  // Once Finish returned true or Abandon returned: the bytes left unwritten (at least: a writer
  // outside the job may have added more since).
  std::uint64_t Unwritten() const { return m_ullUnwritten; }

 private:
  struct Stream {
    unique_handle hRead;  // the runner's end, overlapped
    unique_hfile hWrite;  // the program's end
    unique_handle hReadDone;
    OVERLAPPED overlapped = {};
    bool bOpen = false;
    bool bPending = false;
    std::unique_ptr<char[]> pBuffer;
    std::size_t nUsed = 0;
    // Of those, written out already: the start of an unfinished line, written while a read
    // into the rest of the buffer was under way. Moved out only between reads.
    std::size_t nWritten = 0;
    ULONGLONG ullPartialSince = 0;   // when the unfinished line at the buffer's end arrived
    CRotatingFile* pFile = nullptr;  // nullptr: read for the checks only, and dropped
    bool bSharesFile = false;
    std::unique_ptr<COutputMatch> pReadyMatch;  // the output: checks' texts, when set
    std::unique_ptr<COutputMatch> pHealthMatch;
    CLineStamper stamper;
  };

  // Opens the files for the program to write itself; false with the failure, nothing left open.
  bool OpenDirect(const RunnerSettings& settings, RunnerFailure* pFailure);
  static DWORD WINAPI ThreadMain(void* pContext);
  void Run();
  bool CreatePipe(Stream& stream, unsigned nIndex, DWORD& dwError);
  void StartRead(Stream& stream);
  void OnReadDone(Stream& stream);
  // What just arrived, for the checks.
  void Match(Stream& stream, std::string_view data);
  void Deliver(Stream& stream, bool bEverything);
  void WriteOut(Stream& stream, const char* pData, std::size_t nBytes);
  // Ends a pending read, keeping what it got.
  void EndRead(Stream& stream);
  // Bytes waiting in a stream's pipe.
  static std::uint64_t InPipe(const Stream& stream);
  // Lets go of what the program writes to: the pipes' ends and the files it writes itself.
  void ForgetProgramEnds();
  void Release();

  Stream m_aStreams[2];
  // The files the program writes itself; one handle for both streams when they name one file,
  // so that the two append to it as one writer.
  unique_hfile m_ahDirect[2];
  HANDLE m_ahForProgram[2] = {};
  std::unique_ptr<CRotatingFile> m_apFiles[2];
  bool m_bTimestamps = false;
  std::unique_ptr<char[]> m_pStamped;
  unique_handle m_hRotate;   // auto-reset
  unique_handle m_hAbandon;  // manual-reset
  unique_handle m_hMatched;  // auto-reset
  std::atomic<unsigned> m_nReadyMatches{0};
  std::atomic<unsigned> m_nHealthMatches{0};
  unique_handle m_hThread;
  std::atomic<bool> m_bRunning{false};
  std::uint64_t m_ullLeftByThread = 0;  // what the thread left when it ended early
  std::uint64_t m_ullUnwritten = 0;
};

}  // namespace qm::runner
