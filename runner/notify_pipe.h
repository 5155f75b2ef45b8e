#pragma once
// The notify pipe: the program (and what it starts) tells the runner READY=1, WATCHDOG=1 and
// STATUS=text through it. Its name, unique to the service's run, reaches the program as
// QUILLMONT_NOTIFY; only the runner's own account may open it, and a client that is not a
// process of the program's job is sent away unheard. A few instances take clients side by
// side (a program that keeps the pipe open for its watchdog, a script that writes READY=1).
// Everything happens on the service thread, which waits on the instances' events with the
// rest: no thread of its own.

#include <windows.h>

#include <array>
#include <string>

#include "common/win32_handles.h"
#include "runner/core/notify_lines.h"

namespace qm::runner {

class CNotifyPipe {
 public:
  static constexpr std::size_t kInstances = 3;

  CNotifyPipe() = default;
  // Ends what is under way on each instance before its OVERLAPPED goes.
  ~CNotifyPipe();
  CNotifyPipe(const CNotifyPipe&) = delete;
  CNotifyPipe& operator=(const CNotifyPipe&) = delete;

  // Creates the instances and waits for clients; false with the system's error.
  bool Open(DWORD* pdwError);
  // "\\.\pipe\carrack-notify-<runner>-<tick>", as the program gets it.
  const std::string& Name() const { return m_strName; }
  // The job whose processes may speak (the current run's); a client heard in an earlier run
  // is heard no more (a dying program's last READY=1 would make the next run ready).
  void SetJob(HANDLE hJob) {
    m_hJob = hJob;
    ++m_nRun;
  }
  // The instances' events, for the service thread's wait (none until Open).
  std::size_t EventCount() const { return m_bOpen ? kInstances : 0; }
  HANDLE Event(std::size_t nInstance) const { return m_aInstances[nInstance].hEvent.get(); }
  // An instance's event was signalled: what arrived on it, message by message.
  void OnSignalled(std::size_t nInstance, const CNotifyLines::Handler& onMessage);

 private:
  struct Instance {
    unique_hfile hPipe;
    unique_handle hEvent;  // manual-reset, in the overlapped
    OVERLAPPED overlapped = {};
    bool bConnected = false;
    unsigned nRun = 0;  // the run the client was taken in
    // A connect or read that ended at once, with its error: its overlapped says nothing.
    bool bEndedAtOnce = false;
    DWORD dwAtOnceError = 0;
    char achBuffer[256] = {};
    CNotifyLines lines;
  };

  // Waits for the next client on the instance (or reads from the one there).
  void Listen(Instance& instance);
  void Read(Instance& instance);
  void Drop(Instance& instance, const CNotifyLines::Handler& onMessage);
  bool IsProgramsProcess(const Instance& instance) const;

  std::string m_strName;
  std::array<Instance, kInstances> m_aInstances;
  HANDLE m_hJob = nullptr;
  unsigned m_nRun = 0;  // counts SetJob: job handles of runs that ended may come back
  bool m_bOpen = false;
};

}  // namespace qm::runner
