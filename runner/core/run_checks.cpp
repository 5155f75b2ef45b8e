#include "runner/core/run_checks.h"

#include <algorithm>

namespace qm::runner {

namespace {

std::string Ms(std::uint32_t dwMs) {
  return std::to_string(dwMs) + " ms";
}

// What a passive check that heard nothing says.
std::string NothingHeard(const ProbeTarget& target, bool bHealth, std::uint32_t dwIntervalMs) {
  if (target.kind == ProbeKind::kNotify) {
    return bHealth ? "no WATCHDOG=1 within " + Ms(dwIntervalMs) : "no READY=1 from the program";
  }
  return bHealth ? "no line of output held the text within " + Ms(dwIntervalMs)
                 : "no line of output held the text";
}

std::uint64_t Until(std::uint64_t ullDue, std::uint64_t ullNowMs) {
  return ullDue > ullNowMs ? ullDue - ullNowMs : 0;
}

}  // namespace

std::uint32_t ReadyWaitHintMs(const CheckSettings& settings) {
  std::uint64_t ullHint = 2 * std::uint64_t{settings.dwReadyIntervalMs};
  if (!IsPassiveProbe(settings.ready.kind)) {
    ullHint = std::max<std::uint64_t>(ullHint, std::uint64_t{settings.dwReadyIntervalMs} +
                                                   settings.dwProbeTimeoutMs + kProbeGraceMs);
  }
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(ullHint, 0xFFFFFFFEu));
}

CRunChecks::CRunChecks(const CheckSettings& settings) : m_settings(settings) {}

CheckVerdict CRunChecks::Begin(std::uint64_t ullNowMs) {
  m_bOver = false;
  m_bInFlight = false;
  m_bWasReady = false;
  m_dwFailures = 0;
  m_strSeen.clear();
  if (m_settings.ready.kind == ProbeKind::kNone) return BecomeReady(ullNowMs);
  m_stage = CheckStage::kWaitingForReady;
  m_ullReadyDeadline = ullNowMs + m_settings.dwReadyTimeoutMs;
  // An active check probes at once; a passive one counts its rounds from now.
  m_ullNextDue =
      ullNowMs + (IsPassiveProbe(m_settings.ready.kind) ? m_settings.dwReadyIntervalMs : 0);
  return CheckVerdict::kNone;
}

CheckVerdict CRunChecks::BecomeReady(std::uint64_t ullNowMs) {
  m_stage = CheckStage::kReady;
  m_bWasReady = true;
  m_ullReadyAt = ullNowMs;
  m_bInFlight = false;
  m_dwFailures = 0;
  m_bHealthProbed = false;
  m_bSignalled = false;
  m_strSeen.clear();
  m_ullNextDue = ullNowMs + m_settings.dwHealthIntervalMs;
  return CheckVerdict::kReady;
}

ProbeOrder CRunChecks::Order(const ProbeTarget& target, std::uint32_t dwTimeoutMs,
                             std::uint64_t ullNowMs) {
  m_bInFlight = true;
  m_nInFlight = ++m_nLastId;
  m_dwInFlightTimeoutMs = dwTimeoutMs;
  m_ullAnswerDeadline = ullNowMs + dwTimeoutMs + kProbeGraceMs;
  return {m_nInFlight, &target, dwTimeoutMs};
}

CheckTick CRunChecks::Tick(std::uint64_t ullNowMs) {
  CheckTick tick;
  if (m_bOver) return tick;
  const std::string strNoAnswer = "no answer within " + Ms(m_dwInFlightTimeoutMs);
  if (m_stage == CheckStage::kWaitingForReady) {
    if (ullNowMs >= m_ullReadyDeadline) {
      m_stage = CheckStage::kNotReady;
      m_bInFlight = false;
      if (IsPassiveProbe(m_settings.ready.kind)) {
        m_strSeen = NothingHeard(m_settings.ready, false, 0);
      } else if (m_strSeen.empty()) {
        m_strSeen = strNoAnswer;
      }
      tick.verdict = CheckVerdict::kNotReady;
      return tick;
    }
    if (m_bInFlight && ullNowMs >= m_ullAnswerDeadline) {
      m_bInFlight = false;
      m_strSeen = strNoAnswer;
    }
    if (!m_bInFlight && ullNowMs >= m_ullNextDue) {
      tick.bRound = true;
      m_ullNextDue = ullNowMs + m_settings.dwReadyIntervalMs;
      if (!IsPassiveProbe(m_settings.ready.kind)) {
        // Never past the readiness deadline.
        const auto dwLeft = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(m_ullReadyDeadline - ullNowMs, m_settings.dwProbeTimeoutMs));
        tick.bProbe = true;
        tick.probe = Order(m_settings.ready, dwLeft, ullNowMs);
      }
    }
    return tick;
  }
  if (m_stage != CheckStage::kReady || m_settings.health.kind == ProbeKind::kNone) return tick;
  if (IsPassiveProbe(m_settings.health.kind)) {
    if (ullNowMs >= m_ullNextDue) {
      m_ullNextDue = ullNowMs + m_settings.dwHealthIntervalMs;
      // A signal in this interval passed already, when it came.
      if (!m_bSignalled) {
        tick.verdict = HealthVerdict(
            false, NothingHeard(m_settings.health, true, m_settings.dwHealthIntervalMs), ullNowMs);
      }
      m_bSignalled = false;
    }
    return tick;
  }
  if (m_bInFlight && ullNowMs >= m_ullAnswerDeadline) {
    m_bInFlight = false;
    tick.verdict = HealthVerdict(false, strNoAnswer, ullNowMs);
    if (tick.verdict == CheckVerdict::kUnhealthy) return tick;
  }
  if (!m_bInFlight && ullNowMs >= m_ullNextDue) {
    m_ullNextDue = ullNowMs + m_settings.dwHealthIntervalMs;
    tick.bProbe = true;
    tick.probe = Order(m_settings.health, m_settings.dwProbeTimeoutMs, ullNowMs);
  }
  return tick;
}

std::uint64_t CRunChecks::DueInMs(std::uint64_t ullNowMs) const {
  if (m_bOver) return kNothingDue;
  const std::uint64_t ullNext = m_bInFlight ? m_ullAnswerDeadline : m_ullNextDue;
  if (m_stage == CheckStage::kWaitingForReady) {
    return Until(std::min(ullNext, m_ullReadyDeadline), ullNowMs);
  }
  if (m_stage == CheckStage::kReady && m_settings.health.kind != ProbeKind::kNone) {
    // A passive check is judged at the interval's end whatever is in flight (nothing is).
    return Until(IsPassiveProbe(m_settings.health.kind) ? m_ullNextDue : ullNext, ullNowMs);
  }
  return kNothingDue;
}

CheckVerdict CRunChecks::OnAnswer(unsigned nId, bool bPassed, const std::string& strSeen,
                                  std::uint64_t ullNowMs) {
  if (m_bOver || !m_bInFlight || nId != m_nInFlight) return CheckVerdict::kNone;
  m_bInFlight = false;
  if (m_stage == CheckStage::kWaitingForReady) {
    if (bPassed) return BecomeReady(ullNowMs);
    m_strSeen = strSeen;
    return CheckVerdict::kNone;
  }
  return m_stage == CheckStage::kReady ? HealthVerdict(bPassed, strSeen, ullNowMs)
                                       : CheckVerdict::kNone;
}

CheckVerdict CRunChecks::OnSignal(CheckSignal signal, std::uint64_t ullNowMs) {
  if (m_bOver) return CheckVerdict::kNone;
  const auto heard = [signal](const ProbeTarget& target, CheckSignal notify, CheckSignal line) {
    return (target.kind == ProbeKind::kNotify && signal == notify) ||
           (target.kind == ProbeKind::kOutput && signal == line);
  };
  if (m_stage == CheckStage::kWaitingForReady &&
      heard(m_settings.ready, CheckSignal::kNotifyReady, CheckSignal::kReadyLine)) {
    return BecomeReady(ullNowMs);
  }
  if (m_stage == CheckStage::kReady &&
      heard(m_settings.health, CheckSignal::kNotifyWatchdog, CheckSignal::kHealthLine)) {
    m_bSignalled = true;
    return HealthVerdict(true, "", ullNowMs);
  }
  return CheckVerdict::kNone;
}

CheckVerdict CRunChecks::HealthVerdict(bool bPassed, const std::string& strSeen,
                                       std::uint64_t ullNowMs) {
  m_bHealthProbed = true;
  if (bPassed) {
    if (m_dwFailures == 0) return CheckVerdict::kPassed;
    m_dwRecoveredFrom = m_dwFailures;
    m_dwFailures = 0;
    return CheckVerdict::kRecovered;
  }
  if (m_dwFailures == 0) m_ullFailingSince = ullNowMs;
  ++m_dwFailures;
  m_strSeen = strSeen;
  if (m_dwFailures < m_settings.dwHealthRetries) return CheckVerdict::kFailed;
  m_stage = CheckStage::kUnhealthy;
  m_bInFlight = false;
  return CheckVerdict::kUnhealthy;
}

void CRunChecks::Abandon() {
  m_bOver = true;
  m_bInFlight = false;
}

std::uint64_t CRunChecks::GoodRunMs(std::uint64_t ullNowMs) const {
  if (!m_bWasReady) return 0;
  const std::uint64_t ullEnd = m_dwFailures > 0 ? m_ullFailingSince : ullNowMs;
  return ullEnd > m_ullReadyAt ? ullEnd - m_ullReadyAt : 0;
}

}  // namespace qm::runner
