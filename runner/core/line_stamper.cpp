#include "runner/core/line_stamper.h"

#include <cstdio>
#include <cstring>

namespace qm::runner {

void FormatTimestamp(const LocalTime& time, char (&szStamp)[kTimestampLength + 1]) {
  auto field = [](int nValue, unsigned nModulus) {
    return static_cast<unsigned>(nValue) % nModulus;
  };
  std::snprintf(szStamp, sizeof(szStamp), "%04u-%02u-%02u %02u:%02u:%02u.%03u ",
                field(time.nYear, 10000), field(time.nMonth, 100), field(time.nDay, 100),
                field(time.nHour, 100), field(time.nMinute, 100), field(time.nSecond, 100),
                field(time.nMillisecond, 1000));
}

std::size_t CLineStamper::Stamp(std::string_view input, std::string_view stamp, char* pOut,
                                std::size_t nCapacity, std::size_t& nWritten) {
  std::size_t nUsed = 0;
  nWritten = 0;
  while (nUsed < input.size()) {
    if (m_bAtLineStart) {
      if (nCapacity - nWritten <= stamp.size()) break;
      std::memcpy(pOut + nWritten, stamp.data(), stamp.size());
      nWritten += stamp.size();
      m_bAtLineStart = false;
    }
    std::size_t nRest = input.size() - nUsed;
    const char* pLine = input.data() + nUsed;
    const void* pEnd = std::memchr(pLine, '\n', nRest);
    std::size_t nLine =
        pEnd ? static_cast<std::size_t>(static_cast<const char*>(pEnd) - pLine) + 1 : nRest;
    std::size_t nCopy = nLine < nCapacity - nWritten ? nLine : nCapacity - nWritten;
    if (nCopy == 0) break;
    std::memcpy(pOut + nWritten, pLine, nCopy);
    nWritten += nCopy;
    nUsed += nCopy;
    if (nCopy == nLine && pEnd) m_bAtLineStart = true;
  }
  return nUsed;
}

}  // namespace qm::runner
