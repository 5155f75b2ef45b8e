#include "runner/core/restart_policy.h"

#include <algorithm>

namespace qm::runner {

std::uint32_t GoodRunMs(const RestartSettings& settings) {
  return std::max(settings.dwDelayMaxMs, kGoodRunFloorMs);
}

CRestartBackoff::CRestartBackoff(const RestartSettings& settings)
    : m_settings(settings), m_dwNextDelayMs(settings.dwDelayMs) {}

RestartDecision CRestartBackoff::OnProgramEnded(std::uint32_t exitCode, std::uint64_t runMs) {
  bool bWanted = m_settings.mode == RestartMode::kAlways ||
                 (m_settings.mode == RestartMode::kOnFailure && exitCode != 0);
  if (!bWanted) return {};
  return Next(runMs);
}

RestartDecision CRestartBackoff::OnRunFailed(std::uint64_t runMs) {
  if (m_settings.mode == RestartMode::kNever) return {};
  return Next(runMs);
}

RestartDecision CRestartBackoff::Next(std::uint64_t runMs) {
  std::uint32_t dwDelayMs = m_dwNextDelayMs;
  if (runMs >= GoodRunMs(m_settings)) {
    // The program ran well: whatever ended it now is a new trouble, met with the short delay.
    dwDelayMs = m_settings.dwDelayMs;
    m_dwNextDelayMs = m_settings.dwDelayMs;
    m_dwRestartsInRow = 0;
  } else {
    std::uint64_t ullDoubled = std::uint64_t{m_dwNextDelayMs} * 2;
    m_dwNextDelayMs = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(ullDoubled, std::max(m_settings.dwDelayMaxMs, m_dwNextDelayMs)));
  }
  if (m_settings.dwLimit != 0 && m_dwRestartsInRow >= m_settings.dwLimit) {
    return {AfterExit::kGiveUp, 0, m_dwRestartsInRow};
  }
  ++m_dwRestartsInRow;
  return {AfterExit::kRestart, std::min(dwDelayMs, kMaxRestartDelayMs), m_dwRestartsInRow};
}

}  // namespace qm::runner
