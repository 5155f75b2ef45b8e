#pragma once
// The names of rotated output files and which of them to keep. A rotated file keeps the live
// file's folder, base name and extension, with the rotation time in UTC and the rotation's
// number inserted before the extension: app.log -> app-20261208T211300Z-1.log, then
// app-20261208T211300Z-2.log. The number is one more than the highest one found, so that the
// order of rotations never depends on the clock, which may be set back, repeat an hour, or be
// another machine's in a copied file. Names of the earlier form (local time and a counter
// within its second: app-20261208T221300.log, app-20261208T221300-1.log) are still recognised
// and count as older than every numbered one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/local_time.h"

namespace qm::runner {

// The rotated name for the live file's path, with the rotation time in UTC and its number.
std::string RotatedPath(std::string_view livePath, const LocalTime& utcTime,
                        std::uint64_t ullNumber);

// A pattern for FindFirstFile that matches every rotated file of the live path (and possibly
// more: ParseRotatedName decides).
std::string RotatedSearchPattern(std::string_view livePath);

// Orders rotated files: the number first (0, the earlier form, before all others), then the
// time in the name and the earlier form's counter.
struct RotatedKey {
  std::uint64_t ullNumber = 0;
  std::uint64_t ullStamp = 0;  // YYYYMMDDHHMMSS as a number
  unsigned nCounter = 0;
  bool operator<(const RotatedKey& other) const {
    if (ullNumber != other.ullNumber) return ullNumber < other.ullNumber;
    return ullStamp != other.ullStamp ? ullStamp < other.ullStamp : nCounter < other.nCounter;
  }
};

// The time part of a rotated name's key.
std::uint64_t RotatedStamp(const LocalTime& time);

// Whether a file name (without folder) is a rotated name of the live path, of either form,
// compared without regard to case as the file system does; fills its key when it is.
bool ParseRotatedName(std::string_view livePath, std::string_view fileName, RotatedKey& key);

// The number of the next rotation: one more than the highest found (1 when there is none).
std::uint64_t NextRotationNumber(const std::vector<RotatedKey>& found);

// Of the rotated files found, the indices of those to delete so that nKeep remain: the one
// this rotation just made (nJustRotated; an index past the end when there is none), whatever
// its key, and the newest of the others. nKeep 0 keeps them all.
std::vector<std::size_t> ChooseRotatedToDelete(const std::vector<RotatedKey>& found,
                                               std::uint32_t nKeep, std::size_t nJustRotated);

}  // namespace qm::runner
