#pragma once
// A moment of wall-clock time, as the runner stamps and names its output files with it: local
// time, or UTC where a name says so.

namespace qm {

struct LocalTime {
  int nYear = 0;
  int nMonth = 0;  // 1 to 12
  int nDay = 0;    // 1 to 31
  int nHour = 0;
  int nMinute = 0;
  int nSecond = 0;
  int nMillisecond = 0;
};

// A number that changes exactly when the calendar day changes.
inline long DayNumber(const LocalTime& time) {
  return (static_cast<long>(time.nYear) * 13 + time.nMonth) * 32 + time.nDay;
}

}  // namespace qm
