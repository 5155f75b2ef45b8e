#pragma once
// The program a service runs, with every process it starts, held in one job object that
// ends them all when the runner lets go of it (or dies).

#include <windows.h>

#include <string>
#include <vector>

#include "common/win32_handles.h"
#include "runner/core/runner_settings.h"

namespace qm::runner {

// Where the program's standard output and standard error go: inheritable handles, or nullptr
// for the NUL device.
struct ChildOutput {
  HANDLE hStdout = nullptr;
  HANDLE hStderr = nullptr;
};

// The first file on the search path that a bare file name names; empty when there is none
// (see SearchPathCandidates: absolute folders of PATH only).
std::string FindOnSearchPath(const std::string& strFileName);
// The system's own command interpreter, by its full path; empty when it cannot be told.
std::string SystemInterpreter();

class CChildProcess {
 public:
  // What every later Start gives the program: its environment block (empty: the runner's
  // own) and its priority class.
  void SetLaunchOptions(std::string strEnvironmentBlock, DWORD dwPriorityClass);

  // Starts the program suspended, puts it in the job, then lets it run, so that nothing it
  // starts can escape the job. On failure returns false with the step that failed and its
  // error; nothing is left running.
  // Each start has a job of its own; the previous one is let go of first.
  bool Start(const RunnerSettings& settings, const ChildOutput& output, RunnerFailure* pFailure);

  HANDLE Process() const { return m_hProcess.get(); }
  // The job of the current run, and the environment block every run gets (empty: the
  // runner's own).
  HANDLE Job() const { return m_hJob.get(); }
  const std::string& EnvironmentBlock() const { return m_strEnvironmentBlock; }
  // Milliseconds since the program was let run.
  ULONGLONG AgeMs() const { return ::GetTickCount64() - m_ullStartedTick; }
  // The program is a batch file, run by the command interpreter.
  bool IsBatch() const { return m_bBatch; }
  // The program itself runs, and nothing else is left in the job.
  bool OnlyProgramLeft() const;
  // Something the program started runs in the job (the hosts of consoles do not count).
  bool OthersRun() const;
  DWORD ProcessId() const { return m_dwProcessId; }
  // Exit code of the program itself (not of the processes it started).
  DWORD ExitCode() const;

  // Ids of every process still in the job; the program's own when the job cannot tell.
  std::vector<DWORD> ProcessIds() const;
  // True when no process of the job runs any more.
  bool AllEnded() const;
  // Waits up to dwTimeoutMs for the program and then for everything it started.
  bool WaitAllEnded(DWORD dwTimeoutMs) const;
  // Ends every process in the job and waits up to dwTimeoutMs for them to be gone.
  void EndAll(DWORD dwTimeoutMs);

 private:
  unique_handle m_hJob;
  unique_handle m_hProcess;
  DWORD m_dwProcessId = 0;
  std::string m_strEnvironmentBlock;
  DWORD m_dwPriorityClass = NORMAL_PRIORITY_CLASS;
  ULONGLONG m_ullStartedTick = 0;
  bool m_bBatch = false;
};

}  // namespace qm::runner
