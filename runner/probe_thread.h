#pragma once
// The one thread that makes the checks' probes, one at a time, so that the service thread never
// waits on the network, a file server or a check's process: it orders a probe and goes on
// waiting for the program, the stop request and the probe's answer together. A probe that is
// no longer wanted (a stop, a newer order) is cancelled where it can be and its answer is
// dropped by its number; the thread is made at the first order, for a service that has such a
// check only.

#include <windows.h>

#include <memory>
#include <string>

#include "common/win32_handles.h"
#include "runner/core/run_checks.h"
#include "runner/probes.h"

namespace qm::runner {

class CProbeThread {
 public:
  CProbeThread();
  // The thread is let go of, not waited for: a probe under way ends within its timeout, and
  // what it uses is shared with it.
  ~CProbeThread();
  CProbeThread(const CProbeThread&) = delete;
  CProbeThread& operator=(const CProbeThread&) = delete;

  // Where exec: checks run from now on: the job of the current run (duplicated, so that the
  // thread never holds a handle the keeper closes), its folder and environment.
  void SetPlace(HANDLE hJob, std::string strDirectory, std::string strEnvironment,
                std::uint64_t ullRunStart);
  // Orders a probe; one under way is cancelled first. False when the thread cannot be made.
  bool Order(const ProbeOrder& order);
  // Cancels the probe under way, if any; its answer will not be taken.
  void Cancel();
  // Signalled when an answer is there to take.
  HANDLE AnswerReady() const;
  // The answer of the last probe ordered, once; false when there is none (yet).
  bool TakeAnswer(unsigned* pnId, ProbeAnswer* pAnswer);

  // The thread, while it runs (for the benchmark: one thread whatever the probes).
  HANDLE Thread() const { return m_hThread.get(); }

 private:
  struct Shared;
  static DWORD WINAPI ThreadMain(void* pContext);

  std::shared_ptr<Shared> m_pShared;
  unique_handle m_hThread;
};

}  // namespace qm::runner
