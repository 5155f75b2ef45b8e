#include "runner/core/rotation_plan.h"

namespace qm::runner {

WriteStep PlanWrite(const LiveFileState& file, std::uint64_t ullLimit, std::string_view data,
                    RotationDue due) {
  bool bAtLineStart = file.ullOpenLine == 0;
  if (file.ullSize > 0 &&
      (due == RotationDue::kNow || (due == RotationDue::kAtLineEnd && bAtLineStart))) {
    return {true, 0};
  }
  if (ullLimit == 0 || data.empty()) return {false, data.size()};
  std::uint64_t ullRoom = file.ullSize < ullLimit ? ullLimit - file.ullSize : 0;
  if (ullRoom >= data.size()) return {false, data.size()};
  // Whole lines that fit.
  std::size_t nRoom = static_cast<std::size_t>(ullRoom);
  std::size_t lastEnd = nRoom == 0 ? std::string_view::npos : data.substr(0, nRoom).rfind('\n');
  if (lastEnd != std::string_view::npos) return {false, lastEnd + 1};
  // The next line does not fit what is left of this file.
  if (bAtLineStart && file.ullSize > 0) return {true, 0};
  std::size_t firstEnd = data.find('\n');
  std::size_t nLine = firstEnd == std::string_view::npos ? data.size() : firstEnd + 1;
  // A line begun here that would fit a file of its own stays whole, past the limit.
  if (file.ullOpenLine + nLine <= ullLimit) return {false, nLine};
  // Longer than a file: fill this one, then go on in the next.
  if (nRoom > 0) return {false, nRoom};
  return {true, 0};
}

void NoteWritten(LiveFileState& file, std::string_view written) {
  file.ullSize += written.size();
  std::size_t lastEnd = written.rfind('\n');
  if (lastEnd == std::string_view::npos) {
    file.ullOpenLine += written.size();
  } else {
    file.ullOpenLine = written.size() - lastEnd - 1;
  }
}

}  // namespace qm::runner
