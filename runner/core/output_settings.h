#pragma once
// How the runner writes the Stdout and Stderr files: rotation by size and by day, how many
// rotated files it keeps, and line timestamps.

#include <cstdint>

#include "contract/runner_contract.h"

namespace qm::runner {

struct OutputSettings {
  std::uint32_t dwRotateBytes = contract::kDefaultRotateBytes;  // 0: no rotation by size
  bool bRotateDaily = contract::kDefaultRotateDaily != 0;
  std::uint32_t dwRotateKeep = contract::kDefaultRotateKeep;  // 0: keep every rotated file
  bool bTimestamps = contract::kDefaultTimestamps != 0;
};

}  // namespace qm::runner
