#pragma once
// The calling thread's last system error as one line "%s (0x%x)", or the empty text.

#include "service/platform.h"

namespace qm::svc {

// Capacity the commands hand over; texts of up to 242 characters fit.
inline constexpr int kErrorTextCapacity = 256;

char* GetSystemErrorText(ISystem& system, char* buffer, int capacity);

}  // namespace qm::svc
