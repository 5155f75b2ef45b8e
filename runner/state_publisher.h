#pragma once
// Publishes the runner's view of its program (running, waiting to restart, stopping) for
// "quillmnt status" in a section named after the runner's process id. Publishing is a courtesy:
// when the section cannot be made, or its name is already taken by someone else, the runner
// publishes nothing and runs the program all the same.

#include <windows.h>

#include "common/win32_handles.h"
#include "runner/core/state_record.h"

namespace qm::runner {

class CStatePublisher {
 public:
  // Creates the section, readable by everyone who has logged on, writable by no one else.
  void Open();

  // The transitions; each updates the record at once. Callable from any thread.
  void ProgramStarted(DWORD dwProcessId);
  void RestartScheduled(DWORD dwExitCode, DWORD dwRestartsInRow, DWORD dwDelayMs);
  void Stopping();

 private:
  void PublishLocked();

  unique_handle m_hSection;
  unique_mapped_view m_pView;
  RunnerState m_state;
  SRWLOCK m_lock = SRWLOCK_INIT;
};

}  // namespace qm::runner
