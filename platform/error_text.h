#pragma once
// A system error as the window and the command line show it: one line "%s (0x%x)" of the
// system's text, or the empty text when the system has none.

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace qm::platform {

// The room the window has always given the line; texts of up to 242 characters fit.
inline constexpr int kErrorTextCapacity = 256;

// The line for dwError, through the seam's FormatMessage. Empty as well when the system's text
// with what the line adds (" (0x", eight hex digits, ")" and a NUL) would not fit capacity.
std::string SystemErrorText(ISystem& system, std::uint32_t dwError,
                            int capacity = kErrorTextCapacity);
// The line for the calling thread's last error.
inline std::string LastErrorText(ISystem& system) {
  return SystemErrorText(system, system.GetLastError());
}

}  // namespace qm::platform
