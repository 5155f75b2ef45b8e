#pragma once
// Timestamps at the start of every line of a stream: "YYYY-MM-DD HH:MM:SS.mmm ", local time.

#include <cstddef>
#include <string_view>

#include "common/local_time.h"

namespace qm::runner {

constexpr std::size_t kTimestampLength = 24;

// Fills szStamp with the timestamp and its closing blank (and a NUL).
void FormatTimestamp(const LocalTime& time, char (&szStamp)[kTimestampLength + 1]);

// Copies a stream's bytes with the stamp put before each line. A stream's lines may arrive in
// any pieces: a line begun in one piece is not stamped again in the next.
class CLineStamper {
 public:
  // Copies as much of input as fits into pOut (nCapacity must exceed the stamp's length);
  // returns the input bytes consumed and sets nWritten to the bytes put out.
  std::size_t Stamp(std::string_view input, std::string_view stamp, char* pOut,
                    std::size_t nCapacity, std::size_t& nWritten);
  bool AtLineStart() const { return m_bAtLineStart; }

 private:
  bool m_bAtLineStart = true;
};

}  // namespace qm::runner
