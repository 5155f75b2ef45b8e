#pragma once
// The names of rotated output files and which of them to keep. A rotated file keeps the live
// file's folder, base name and extension, with the rotation time (and a counter when that name
// was taken) inserted before the extension: app.log -> app-20261208T221300.log, then
// app-20261208T221300-1.log.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runner/core/local_time.h"

namespace qm::runner {

// The rotated name for the live file's path; nCounter 0 adds no counter.
std::string RotatedPath(std::string_view livePath, const LocalTime& time, unsigned nCounter);

// A pattern for FindFirstFile that matches every rotated file of the live path (and possibly
// more: ParseRotatedName decides).
std::string RotatedSearchPattern(std::string_view livePath);

// Orders rotated files: rotation time first, then counter.
struct RotatedKey {
  std::uint64_t ullStamp = 0;  // YYYYMMDDHHMMSS as a number
  unsigned nCounter = 0;
  bool operator<(const RotatedKey& other) const {
    return ullStamp != other.ullStamp ? ullStamp < other.ullStamp : nCounter < other.nCounter;
  }
};

// The time part of a rotated name's key.
std::uint64_t RotatedStamp(const LocalTime& time);

// Whether a file name (without folder) is a rotated name of the live path, compared without
// regard to case as the file system does; fills its key when it is.
bool ParseRotatedName(std::string_view livePath, std::string_view fileName, RotatedKey& key);

// Of the rotated files found, the indices of those to delete so that the nKeep newest remain;
// nKeep 0 keeps them all.
std::vector<std::size_t> ChooseRotatedToDelete(const std::vector<RotatedKey>& found,
                                               std::uint32_t nKeep);

}  // namespace qm::runner
