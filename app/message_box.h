#pragma once
// The modal message box in which the window's Install and Remove end, and with which Remove
// asks its questions; returns the button pressed. The program's is owned by the main dialog
// (owned_message_box.h); tests record.

#include <cstdint>

namespace qm::app {

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  virtual int Show(const char* text, const char* caption, std::uint32_t style) = 0;
};

}  // namespace qm::app
