#pragma once
// Publishes the runner's view of its program (running, waiting to restart, stopping) for
// "quillmnt status" in a section named after the runner's process id. Publishing is a courtesy:
// when the section cannot be made, or its name is already taken by someone else, the runner
// publishes nothing and runs the program all the same (a taken name is worth a warning: the
// runner's own name, made first by someone else, can only be a forgery).

#include <windows.h>

#include <string>

#include "common/win32_handles.h"
#include "contract/state_record.h"

namespace qm::runner {

class CStatePublisher {
 public:
  enum class OpenResult { kPublishing, kNameTaken, kFailed };
  // Creates the section, readable by everyone who has logged on, writable by no one else.
  // kNameTaken: an object of that name existed already (whatever its kind or its access).
  OpenResult Open();
  const std::string& SectionName() const { return m_strName; }

  // What the checks tell of the current run (see contract::state::CheckFlag).
  struct CheckView {
    std::uint32_t dwFlags = 0;
    std::string strCheck;
    std::string strSeen;
    std::uint32_t dwFailures = 0;
    std::uint32_t dwRetries = 0;
  };

  // The transitions; each updates the record at once. Callable from any thread.
  // bWaiting: the program runs but is not ready yet, for up to dwReadyTimeoutMs from now.
  void ProgramStarted(DWORD dwProcessId, bool bWaiting = false, DWORD dwReadyTimeoutMs = 0);
  // The checks' news; a run that is no longer waiting runs.
  void Checks(const CheckView& view);
  // The program's own word (a STATUS= line).
  void ProgramStatus(const std::string& strStatus);
  void RestartScheduled(DWORD dwExitCode, DWORD dwRestartsInRow, DWORD dwDelayMs);
  void Stopping();

 private:
  void PublishLocked();

  std::string m_strName;
  unique_handle m_hSection;
  unique_mapped_view m_pView;
  contract::RunnerState m_state;
  SRWLOCK m_lock = SRWLOCK_INIT;
};

}  // namespace qm::runner
