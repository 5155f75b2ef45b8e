#include "runner/probe_thread.h"

#include "common/srw_lock.h"

namespace qm::runner {

namespace {

constexpr DWORD kThreadStackBytes = 128 * 1024;

}  // namespace

// What the service thread and the probe thread share, kept alive by both.
struct CProbeThread::Shared {
  SRWLOCK lock = SRWLOCK_INIT;
  unique_handle hOrdered{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};  // auto-reset
  unique_handle hAnswered{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  unique_handle hCancel{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  bool bQuit = false;
  // Under the lock:
  bool bOrdered = false;
  unsigned nOrderId = 0;
  ProbeTarget target;
  DWORD dwTimeoutMs = 0;
  ExecPlace place;
  unique_handle hJob;
  bool bBusy = false;
  unsigned nBusyId = 0;
  bool bAnswered = false;
  unsigned nAnswerId = 0;
  ProbeAnswer answer;
};

CProbeThread::CProbeThread() : m_pShared(std::make_shared<Shared>()) {}

CProbeThread::~CProbeThread() {
  CExclusiveLock hold(m_pShared->lock);
  m_pShared->bQuit = true;
  ::SetEvent(m_pShared->hCancel.get());
  ::SetEvent(m_pShared->hOrdered.get());
}

void CProbeThread::SetPlace(HANDLE hJob, std::string strDirectory, std::string strEnvironment,
                            std::uint64_t ullRunStart) {
  HANDLE hCopy = nullptr;
  if (hJob) {
    ::DuplicateHandle(::GetCurrentProcess(), hJob, ::GetCurrentProcess(), &hCopy, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
  }
  CExclusiveLock hold(m_pShared->lock);
  m_pShared->hJob.reset(hCopy);
  m_pShared->place = {hCopy, std::move(strDirectory), std::move(strEnvironment), ullRunStart};
}

bool CProbeThread::Order(const ProbeOrder& order) {
  if (!m_hThread) {
    // The thread takes its own reference to what it shares.
    auto* pShared = new std::shared_ptr<Shared>(m_pShared);
    m_hThread.reset(::CreateThread(nullptr, kThreadStackBytes, ThreadMain, pShared,
                                   STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!m_hThread) {
      delete pShared;
      return false;
    }
  }
  CExclusiveLock hold(m_pShared->lock);
  Shared& shared = *m_pShared;
  if (shared.bBusy) ::SetEvent(shared.hCancel.get());
  shared.bOrdered = true;
  shared.nOrderId = order.nId;
  shared.target = *order.pProbe;
  shared.dwTimeoutMs = order.dwTimeoutMs;
  shared.bAnswered = false;
  ::ResetEvent(shared.hAnswered.get());
  ::SetEvent(shared.hOrdered.get());
  return true;
}

void CProbeThread::Cancel() {
  CExclusiveLock hold(m_pShared->lock);
  m_pShared->bOrdered = false;
  m_pShared->bAnswered = false;
  ::ResetEvent(m_pShared->hAnswered.get());
  if (m_pShared->bBusy) ::SetEvent(m_pShared->hCancel.get());
}

HANDLE CProbeThread::AnswerReady() const {
  return m_pShared->hAnswered.get();
}

bool CProbeThread::TakeAnswer(unsigned* pnId, ProbeAnswer* pAnswer) {
  CExclusiveLock hold(m_pShared->lock);
  ::ResetEvent(m_pShared->hAnswered.get());
  if (!m_pShared->bAnswered) return false;
  m_pShared->bAnswered = false;
  *pnId = m_pShared->nAnswerId;
  *pAnswer = std::move(m_pShared->answer);
  return true;
}

DWORD WINAPI CProbeThread::ThreadMain(void* pContext) {
  const std::unique_ptr<std::shared_ptr<Shared>> pOwned(
      static_cast<std::shared_ptr<Shared>*>(pContext));
  Shared& shared = **pOwned;
  for (;;) {
    ::WaitForSingleObject(shared.hOrdered.get(), INFINITE);
    ProbeTarget target;
    DWORD dwTimeoutMs = 0;
    ExecPlace place;
    unsigned nId = 0;
    {
      CExclusiveLock hold(shared.lock);
      if (shared.bQuit) return 0;
      if (!shared.bOrdered) continue;
      shared.bOrdered = false;
      shared.bBusy = true;
      nId = shared.nBusyId = shared.nOrderId;
      target = shared.target;
      dwTimeoutMs = shared.dwTimeoutMs;
      place = shared.place;
      // Duplicated for this probe: a newer run's SetPlace may close the shared one meanwhile.
      HANDLE hJob = nullptr;
      if (place.hJob) {
        ::DuplicateHandle(::GetCurrentProcess(), place.hJob, ::GetCurrentProcess(), &hJob, 0, FALSE,
                          DUPLICATE_SAME_ACCESS);
      }
      place.hJob = hJob;
      ::ResetEvent(shared.hCancel.get());
    }
    const unique_handle hJob(place.hJob);
    HANDLE hCancel = shared.hCancel.get();
    ProbeAnswer answer;
    switch (target.kind) {
      case ProbeKind::kTcp:
        answer = ProbeTcp(target, dwTimeoutMs, hCancel);
        break;
      case ProbeKind::kHttp:
        answer = ProbeHttp(target, dwTimeoutMs);
        break;
      case ProbeKind::kFile:
        answer = ProbeFile(target, place);
        break;
      case ProbeKind::kPipe:
        answer = ProbePipe(target);
        break;
      case ProbeKind::kExec:
        answer = ProbeExec(target, dwTimeoutMs, place, hCancel);
        break;
      default:
        answer = {false, "not a probe the runner makes"};
        break;
    }
    CExclusiveLock hold(shared.lock);
    shared.bBusy = false;
    if (shared.bQuit) return 0;
    // Only the answer to the last order counts; a cancelled probe's is dropped.
    if (nId == shared.nOrderId && !shared.bOrdered &&
        ::WaitForSingleObject(hCancel, 0) != WAIT_OBJECT_0) {
      shared.bAnswered = true;
      shared.nAnswerId = nId;
      shared.answer = std::move(answer);
      ::SetEvent(shared.hAnswered.get());
    }
  }
}

}  // namespace qm::runner
