#include "runner/core/notify_lines.h"

namespace qm::runner {

void CNotifyLines::Feed(std::string_view data, const Handler& onMessage) {
  while (!data.empty()) {
    const std::size_t nEnd = data.find('\n');
    const std::string_view piece = data.substr(0, nEnd);
    if (m_strLine.size() + piece.size() > kMaxNotifyLine + 1) {
      m_bTooLong = true;
    } else {
      m_strLine.append(piece);
    }
    if (nEnd == std::string_view::npos) return;
    Line(onMessage);
    data.remove_prefix(nEnd + 1);
  }
}

void CNotifyLines::End(const Handler& onMessage) {
  if (!m_strLine.empty() || m_bTooLong) Line(onMessage);
}

void CNotifyLines::Line(const Handler& onMessage) {
  std::string strLine = std::move(m_strLine);
  const bool bTooLong = m_bTooLong;
  m_strLine.clear();
  m_bTooLong = false;
  if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
  if (bTooLong || strLine.size() > kMaxNotifyLine) return;
  constexpr std::string_view kStatus = "STATUS=";
  if (strLine == "READY=1") {
    onMessage({NotifyKind::kReady, {}});
  } else if (strLine == "WATCHDOG=1") {
    onMessage({NotifyKind::kWatchdog, {}});
  } else if (strLine.compare(0, kStatus.size(), kStatus) == 0) {
    onMessage({NotifyKind::kStatus, strLine.substr(kStatus.size())});
  }
}

}  // namespace qm::runner
