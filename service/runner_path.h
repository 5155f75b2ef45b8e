#pragma once
// The companion runner's path: carrack.exe in the folder of the tool's own executable.

#include <cstddef>

namespace qm::svc {

inline constexpr std::size_t kMaxPath = 260;

// Keeps the drive and folder of modulePath and puts "carrack.exe" after them. A path with a
// blank is put in double quotes, so the system cannot start a program named by a prefix of
// it. Returns false, writing the empty text, when the result (quotes included) would not
// fit capacity bytes.
bool MakeRunnerPath(const char* modulePath, char* buffer, std::size_t capacity);

}  // namespace qm::svc
