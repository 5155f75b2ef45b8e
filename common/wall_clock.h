#pragma once
// The system's clock as the runner and the command line read it: the time now as a FILETIME
// count (UTC, 100 ns units), wall-clock local time, now or of such a count, and UTC now.
#include <windows.h>

#include <cstdint>

#include "common/local_time.h"

namespace qm {

inline std::uint64_t FileTimeNow() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

inline LocalTime ToLocalTime(const SYSTEMTIME& time) {
  return {time.wYear,   time.wMonth,  time.wDay,         time.wHour,
          time.wMinute, time.wSecond, time.wMilliseconds};
}

inline LocalTime LocalNow() {
  SYSTEMTIME time;
  ::GetLocalTime(&time);
  return ToLocalTime(time);
}

// The time now in UTC, in the same form.
inline LocalTime UtcNow() {
  SYSTEMTIME time;
  ::GetSystemTime(&time);
  return ToLocalTime(time);
}

// All zero when the count is no time the system can convert.
inline LocalTime LocalTimeOfFileTime(std::uint64_t qwFileTime) {
  const FILETIME ft = {static_cast<DWORD>(qwFileTime), static_cast<DWORD>(qwFileTime >> 32)};
  SYSTEMTIME utc = {};
  SYSTEMTIME local = {};
  if (!::FileTimeToSystemTime(&ft, &utc) ||
      !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return {};
  }
  return ToLocalTime(local);
}

}  // namespace qm
