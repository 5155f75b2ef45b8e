#pragma once
// A message box as the tests see it: every box recorded, with the window that would own it
// where the caller names one; questions answered from a queue (an empty queue answers No), the
// others with OK. The window's commands show theirs through app::IMessageBox; the directory
// picker's tests hand theirs to Record.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "app/message_box.h"

namespace qm::test {

struct MessageBoxCall {
  const void* hOwner;
  std::string strText;
  std::string strCaption;
  std::uint32_t dwStyle;
};

class CRecordingMessageBox : public app::IMessageBox {
 public:
  int Show(const char* text, const char* caption, std::uint32_t style) override {
    return Record(nullptr, text, caption, style);
  }
  int Record(const void* hOwner, const char* text, const char* caption, std::uint32_t style) {
    m_boxes.push_back(MessageBoxCall{hOwner, text ? text : "", caption ? caption : "", style});
    if ((style & kTypeMask) == kOk) return kIdOk;
    if (m_answers.empty()) return kIdNo;
    const int nAnswer = m_answers.front();
    m_answers.pop_front();
    return nAnswer;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const MessageBoxCall& box : m_boxes) texts.push_back(box.strText);
    return texts;
  }

  std::deque<int> m_answers;
  std::vector<MessageBoxCall> m_boxes;

 private:
  // MB_TYPEMASK, MB_OK, IDOK and IDNO: <windows.h> would rename the seam's calls in a test
  // that includes this header after the service commands.
  static constexpr std::uint32_t kTypeMask = 0xF;
  static constexpr std::uint32_t kOk = 0;
  static constexpr int kIdOk = 1;
  static constexpr int kIdNo = 7;
};

}  // namespace qm::test
