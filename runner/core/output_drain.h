#pragma once
// How long the service's end waits for the program's output to reach its files. The writing
// ends by itself once every writer has closed its end of the pipes and everything is written,
// however long that takes; this bounds it for a disk too slow to keep up, or a process outside
// the job that still holds the pipes and so never lets them end.

#include <cstdint>

namespace qm::runner {

// The least the output gets after the program's end: a program ended by force at the stop's
// deadline, or one with a StopTimeout of 0, still leaves what it wrote in the pipes, and
// writing that out normally takes a small part of this.
constexpr std::uint32_t kOutputAfterEndMs = 3000;

// Milliseconds from now (the program and everything it started have ended) that the output
// may still take. A stop that was asked for has StopTimeout from the request for the program's
// end and its output together; a program that ended by itself gives its output StopTimeout
// from its end, the time a stop would have had. Never less than kOutputAfterEndMs.
std::uint32_t PlanOutputWait(std::uint32_t stopTimeoutMs, bool bStopAsked,
                             std::uint64_t sinceStopAskedMs);

}  // namespace qm::runner
