#pragma once
// The lines a program writes to its notify pipe: READY=1 (it is ready), WATCHDOG=1 (it is
// alive), STATUS=text (what it is doing, for quillmnt status). A connection's bytes are cut
// into lines at LF (a CR before it is dropped); an unfinished line counts when the program
// closes the pipe, so a program may write READY=1 without a line end. Other lines, and lines
// longer than kMaxNotifyLine, are ignored.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace qm::runner {

inline constexpr std::size_t kMaxNotifyLine = 512;

enum class NotifyKind { kReady, kWatchdog, kStatus };

struct NotifyMessage {
  NotifyKind kind;
  std::string strStatus;  // kStatus: the text after "STATUS="
};

class CNotifyLines {
 public:
  using Handler = std::function<void(const NotifyMessage&)>;
  // Bytes as they came; calls onMessage for each complete line that is a message.
  void Feed(std::string_view data, const Handler& onMessage);
  // The connection has ended: its unfinished last line counts.
  void End(const Handler& onMessage);

 private:
  void Line(const Handler& onMessage);

  std::string m_strLine;
  bool m_bTooLong = false;
};

}  // namespace qm::runner
