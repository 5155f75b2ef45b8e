#pragma once
// Where the output may be cut into files. Whole lines go into a file as long as they fit under
// the size limit; the file is rotated first when the next line would not fit. Only a line
// longer than the limit itself is split, into pieces that fill a file each. A rotation for a new
// day waits for the end of the current line; one asked for happens at once, since the line may
// never end (a prompt waiting for an answer).

#include <cstdint>
#include <string_view>

namespace qm::runner {

// What is in the live file so far.
struct LiveFileState {
  std::uint64_t ullSize = 0;
  std::uint64_t ullOpenLine = 0;  // bytes of the last line when it has no line end yet
};

struct WriteStep {
  bool bRotateFirst = false;  // rotate, then plan again
  std::size_t nBytes = 0;     // bytes to write (when not rotating first)
};

enum class RotationDue {
  kNo,
  kAtLineEnd,  // at the next line boundary
  kNow,        // even inside a line
};

// The next step for data about to be written. ullLimit 0: no size limit. An empty file is
// never rotated. When a rotation cannot happen, plan again with no limit and no rotation due.
WriteStep PlanWrite(const LiveFileState& file, std::uint64_t ullLimit, std::string_view data,
                    RotationDue due);

// The file after written bytes were appended.
void NoteWritten(LiveFileState& file, std::string_view written);

}  // namespace qm::runner
