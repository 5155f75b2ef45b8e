#include "runner/run_watch.h"

#include "carrack_messages.h"
#include "common/wall_clock.h"
#include "contract/runner_contract.h"
#include "runner/event_log.h"
#include "runner/probes.h"

namespace qm::runner {

CRunWatch::CRunWatch(const RunWatchContext& context, const CheckSettings& settings)
    : m_context(context), m_checks(settings) {
  m_bNotify =
      settings.ready.kind == ProbeKind::kNotify || settings.health.kind == ProbeKind::kNotify;
}

bool CRunWatch::Open(std::vector<std::string>* pEnvironment, RunnerFailure* pFailure) {
  if (!m_bNotify) return true;
  DWORD dwError = ERROR_SUCCESS;
  if (!m_notify.Open(&dwError)) {
    *pFailure = {FailureKind::kStepFailed, "creating the notify pipe", "", "", dwError};
    return false;
  }
  // The runner's word last: the Environment value cannot point the program elsewhere.
  pEnvironment->push_back(std::string(contract::kNotifyVariable) + "=" + m_notify.Name());
  return true;
}

void CRunWatch::BeforeStart() {
  // Lines of the ended run read only now: they are not the next run's.
  m_context.output.TakeMatches();
  m_ullStartFileTime = FileTimeNow();
}

void CRunWatch::Begin(DWORD dwProcessId, HANDLE hJob, std::string strDirectory,
                      const std::string& strEnvironment) {
  const CheckSettings& settings = m_checks.Settings();
  m_notify.SetJob(hJob);
  // exec: runs in the run's job and folder, and file: looks from that folder.
  if (settings.health.kind == ProbeKind::kExec || settings.ready.kind == ProbeKind::kFile ||
      settings.health.kind == ProbeKind::kFile) {
    m_prober.SetPlace(hJob, std::move(strDirectory), strEnvironment, m_ullStartFileTime);
  }
  m_context.publisher.ProgramStarted(dwProcessId, WaitsForReady(), settings.dwReadyTimeoutMs);
  m_bReadyNews = m_checks.Begin(::GetTickCount64()) == CheckVerdict::kReady;
  PublishChecks();
}

void CRunWatch::PublishChecks() {
  namespace st = contract::state;
  const CheckSettings& settings = m_checks.Settings();
  CStatePublisher::CheckView view;
  const bool bWaiting = m_checks.Stage() == CheckStage::kWaitingForReady;
  const bool bNotReady = m_checks.Stage() == CheckStage::kNotReady;
  if (bWaiting || bNotReady) {
    view.dwFlags = bWaiting ? st::kWaitingForReady : st::kEndedNotReady;
    view.strCheck = DescribeProbe(settings.ready);
    view.strSeen = m_checks.LastSeen();
  } else if (settings.health.kind != ProbeKind::kNone) {
    view.dwFlags = st::kHealthChecked;
    if (m_checks.HealthProbed()) view.dwFlags |= st::kHealthProbed;
    if (m_checks.Stage() == CheckStage::kUnhealthy) view.dwFlags |= st::kEndedUnhealthy;
    view.strCheck = DescribeProbe(settings.health);
    view.dwFailures = m_checks.Failures();
    view.dwRetries = settings.dwHealthRetries;
    if (view.dwFailures > 0) view.strSeen = m_checks.LastSeen();
  }
  m_context.publisher.Checks(view);
}

void CRunWatch::End() {
  m_checks.Abandon();
  m_prober.Cancel();
}

bool CRunWatch::OnVerdict(CheckVerdict verdict, RunEvent* pEvent) {
  switch (verdict) {
    case CheckVerdict::kNone:
      return false;
    case CheckVerdict::kReady:
      PublishChecks();
      *pEvent = RunEvent::kReady;
      return true;
    case CheckVerdict::kNotReady:
    case CheckVerdict::kUnhealthy:
      End();
      PublishChecks();
      *pEvent = verdict == CheckVerdict::kNotReady ? RunEvent::kNotReady : RunEvent::kUnhealthy;
      return true;
    case CheckVerdict::kRecovered: {
      const std::string strCheck = DescribeProbe(m_checks.Settings().health);
      const std::string strFailures = std::to_string(m_checks.RecoveredFrom());
      WriteEvent(EVENTLOG_INFORMATION_TYPE, MSG_PROGRAM_RECOVERED,
                 {m_context.strName.c_str(), strCheck.c_str(), strFailures.c_str()});
      PublishChecks();
      return false;
    }
    case CheckVerdict::kPassed:
    case CheckVerdict::kFailed:
      PublishChecks();
      return false;
  }
  return false;
}

void CRunWatch::OnNotifyMessage(const NotifyMessage& message, RunEvent* pEvent, bool* pbEvent) {
  if (message.kind == NotifyKind::kStatus) {
    m_context.publisher.ProgramStatus(message.strStatus);
    return;
  }
  const CheckSignal signal =
      message.kind == NotifyKind::kReady ? CheckSignal::kNotifyReady : CheckSignal::kNotifyWatchdog;
  if (!*pbEvent) *pbEvent = OnVerdict(m_checks.OnSignal(signal, ::GetTickCount64()), pEvent);
}

RunEvent CRunWatch::Watch(HANDLE hProcess) {
  if (m_bReadyNews) {
    m_bReadyNews = false;
    return RunEvent::kReady;
  }
  for (;;) {
    const ULONGLONG ullNow = ::GetTickCount64();
    const CheckTick tick = m_checks.Tick(ullNow);
    RunEvent event = RunEvent::kProgress;
    // A stop asked for wins over what the checks decide at the same moment.
    if (::WaitForSingleObject(m_context.hStopEvent, 0) == WAIT_OBJECT_0) {
      End();
      return RunEvent::kStopAsked;
    }
    if (tick.bProbe && !m_prober.Order(tick.probe)) {
      // Without its thread the probe cannot be made: it fails, and says why.
      const std::string strSeen =
          "the probe thread cannot be started: " + ProbeErrorText(::GetLastError());
      if (OnVerdict(m_checks.OnAnswer(tick.probe.nId, false, strSeen, ullNow), &event)) {
        return event;
      }
    }
    if (OnVerdict(tick.verdict, &event)) return event;
    if (tick.bRound) {
      PublishChecks();
      return RunEvent::kProgress;
    }

    // The stop request first, then the program's end: of two at once, these win.
    HANDLE ahWait[4 + CNotifyPipe::kInstances];
    DWORD nWait = 0;
    ahWait[nWait++] = m_context.hStopEvent;
    ahWait[nWait++] = hProcess;
    const DWORD nAnswer = nWait;
    ahWait[nWait++] = m_prober.AnswerReady();
    const DWORD nMatch = nWait;
    ahWait[nWait++] = m_context.output.MatchEvent();
    const DWORD nNotify = nWait;
    for (std::size_t i = 0; i < m_notify.EventCount(); ++i) ahWait[nWait++] = m_notify.Event(i);
    const std::uint64_t ullDue = m_checks.DueInMs(ullNow);
    const DWORD dwWait = ullDue >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(ullDue);
    const DWORD dwWhich =
        ::WaitForMultipleObjects(nWait, ahWait, FALSE, ullDue == kNothingDue ? INFINITE : dwWait);
    if (dwWhich == WAIT_OBJECT_0 || dwWhich == WAIT_FAILED) {
      End();
      return RunEvent::kStopAsked;
    }
    if (dwWhich == WAIT_OBJECT_0 + 1) {
      End();
      return RunEvent::kEnded;
    }
    bool bEvent = false;
    if (dwWhich == WAIT_OBJECT_0 + nAnswer) {
      unsigned nId = 0;
      ProbeAnswer answer;
      if (m_prober.TakeAnswer(&nId, &answer)) {
        bEvent = OnVerdict(
            m_checks.OnAnswer(nId, answer.bPassed, answer.strSeen, ::GetTickCount64()), &event);
      }
    } else if (dwWhich == WAIT_OBJECT_0 + nMatch) {
      const COutputCapture::Matches matches = m_context.output.TakeMatches();
      if (matches.nReady > 0) {
        bEvent = OnVerdict(m_checks.OnSignal(CheckSignal::kReadyLine, ::GetTickCount64()), &event);
      }
      if (!bEvent && matches.nHealth > 0) {
        bEvent = OnVerdict(m_checks.OnSignal(CheckSignal::kHealthLine, ::GetTickCount64()), &event);
      }
    } else if (dwWhich >= WAIT_OBJECT_0 + nNotify && dwWhich < WAIT_OBJECT_0 + nWait) {
      m_notify.OnSignalled(dwWhich - WAIT_OBJECT_0 - nNotify, [&](const NotifyMessage& message) {
        OnNotifyMessage(message, &event, &bEvent);
      });
    }
    if (bEvent) return event;
  }
}

}  // namespace qm::runner
