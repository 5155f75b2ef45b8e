#!/usr/bin/env bash
# Configures and builds both configurations: native (logic and its tests, sanitized) and
# windows (the tool, the runner and their tests, cross-compiled with MinGW-w64).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
jobs=${QM_JOBS:-$(nproc)}
for preset in "$@"; do
  echo "build: $preset"
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
