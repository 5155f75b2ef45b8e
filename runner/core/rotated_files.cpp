#include "runner/core/rotated_files.h"

#include <algorithm>
#include <cstdio>

#include "common/ascii_case.h"

namespace qm::runner {

namespace {

// "C:\logs\app.log" -> folder "C:\logs\", base "app", extension ".log". A name that starts
// with its only dot (".log") is all base.
struct PathParts {
  std::string_view folder;
  std::string_view base;
  std::string_view extension;
};

PathParts SplitPath(std::string_view path) {
  PathParts parts;
  std::size_t slash = path.find_last_of("\\/:");
  std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  parts.folder = path.substr(0, nameStart);
  std::string_view name = path.substr(nameStart);
  std::size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos || dot == 0) dot = name.size();
  parts.base = name.substr(0, dot);
  parts.extension = name.substr(dot);
  return parts;
}

// Reads exactly nDigits decimal digits from text at pos.
bool ReadDigits(std::string_view text, std::size_t pos, std::size_t nDigits, std::uint64_t& value) {
  if (pos + nDigits > text.size()) return false;
  for (std::size_t i = pos; i < pos + nDigits; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
  }
  return true;
}

// "-" and one to nMaxDigits digits without a leading zero: the whole of text.
bool ReadNumber(std::string_view text, std::size_t nMaxDigits, std::uint64_t& value) {
  return text.size() >= 2 && text.size() <= nMaxDigits + 1 && text[0] == '-' && text[1] != '0' &&
         ReadDigits(text, 1, text.size() - 1, value);
}

}  // namespace

std::string RotatedPath(std::string_view livePath, const LocalTime& utcTime,
                        std::uint64_t ullNumber) {
  PathParts parts = SplitPath(livePath);
  char szStamp[64];
  std::snprintf(szStamp, sizeof(szStamp), "-%04d%02d%02dT%02d%02d%02dZ-%llu", utcTime.nYear,
                utcTime.nMonth, utcTime.nDay, utcTime.nHour, utcTime.nMinute, utcTime.nSecond,
                static_cast<unsigned long long>(ullNumber));
  std::string strPath(parts.folder);
  strPath += parts.base;
  strPath += szStamp;
  strPath += parts.extension;
  return strPath;
}

std::string RotatedSearchPattern(std::string_view livePath) {
  PathParts parts = SplitPath(livePath);
  std::string strPattern(parts.folder);
  strPattern += parts.base;
  strPattern += "-*";
  strPattern += parts.extension;
  return strPattern;
}

std::uint64_t RotatedStamp(const LocalTime& time) {
  auto field = [](int nValue) { return static_cast<std::uint64_t>(nValue < 0 ? 0 : nValue); };
  return ((((field(time.nYear) * 100 + field(time.nMonth)) * 100 + field(time.nDay)) * 100 +
           field(time.nHour)) *
              100 +
          field(time.nMinute)) *
             100 +
         field(time.nSecond);
}

bool ParseRotatedName(std::string_view livePath, std::string_view fileName, RotatedKey& key) {
  PathParts parts = SplitPath(livePath);
  // base "-" YYYYMMDD "T" HHMMSS, then "Z-" number (this form) or ["-" counter] (the earlier
  // one), then the extension
  constexpr std::size_t kStampLength = 1 + 8 + 1 + 6;
  if (fileName.size() < parts.base.size() + kStampLength + parts.extension.size()) return false;
  if (!EqualsIgnoringCase(fileName.substr(0, parts.base.size()), parts.base)) return false;
  if (!EqualsIgnoringCase(fileName.substr(fileName.size() - parts.extension.size()),
                          parts.extension)) {
    return false;
  }
  std::string_view middle = fileName.substr(
      parts.base.size(), fileName.size() - parts.base.size() - parts.extension.size());
  std::uint64_t ullDate = 0;
  std::uint64_t ullClock = 0;
  if (middle[0] != '-' || !ReadDigits(middle, 1, 8, ullDate) ||
      (middle[9] != 'T' && middle[9] != 't') || !ReadDigits(middle, 10, 6, ullClock)) {
    return false;
  }
  std::uint64_t ullNumber = 0;
  std::uint64_t ullCounter = 0;
  std::string_view rest = middle.substr(kStampLength);
  if (!rest.empty() && (rest[0] == 'Z' || rest[0] == 'z')) {
    // Up to 18 digits: the next number always fits.
    if (!ReadNumber(rest.substr(1), 18, ullNumber)) return false;
  } else if (!rest.empty() && !ReadNumber(rest, 9, ullCounter)) {
    return false;
  }
  key.ullNumber = ullNumber;
  key.ullStamp = ullDate * 1000000 + ullClock;
  key.nCounter = static_cast<unsigned>(ullCounter);
  return true;
}

std::uint64_t NextRotationNumber(const std::vector<RotatedKey>& found) {
  std::uint64_t ullHighest = 0;
  for (const RotatedKey& key : found) ullHighest = std::max(ullHighest, key.ullNumber);
  return ullHighest + 1;
}

std::vector<std::size_t> ChooseRotatedToDelete(const std::vector<RotatedKey>& found,
                                               std::uint32_t nKeep, std::size_t nJustRotated) {
  if (nKeep == 0 || found.size() <= nKeep) return {};
  // Newest first, the file just rotated before all; everything after the first nKeep goes.
  std::vector<std::size_t> order(found.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if ((a == nJustRotated) != (b == nJustRotated)) return a == nJustRotated;
    return found[b] < found[a];
  });
  order.erase(order.begin(), order.begin() + nKeep);
  std::sort(order.begin(), order.end());
  return order;
}

}  // namespace qm::runner
