#!/usr/bin/env bash
# Builds the benchmarks in build/bench (Windows configuration) and runs them under Wine in
# that folder's prefix: the directory tree listing, the service runner, its output capture and
# its readiness and health checks, and the command line. The directory-tree benchmark's
# folders (1,000, 20,000 and 100,000 subdirectories) are made on the host: under Wine every new
# name costs a scan of its folder.
#   scripts/bench.sh [max-count [sorted-limit]]   (sorted-limit: see bench/dirtree/main.cpp)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
build=${QM_BENCH_BUILD:-$root/build/bench}
max=${1:-100000}
sorted_limit=${2:-20000}

if [ -f "$build/CMakeCache.txt" ]; then
  cmake -B "$build" -DQM_BENCH=ON >/dev/null  # a folder configured before the switch existed
else
  cmake -S "$root" -B "$build" -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DQM_BENCH=ON >/dev/null
fi
cmake --build "$build" --target bench_dirtree runner_bench output_bench check_bench cli_bench \
  -j "${QM_JOBS:-2}"

export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
bash scripts/wine-prefix.sh "$WINEPREFIX"

host_root="$WINEPREFIX/drive_c/qm-bench-dirtree"
trap 'rm -rf "$host_root"' EXIT
rm -rf "$host_root"
for count in 1000 20000 100000; do
  [ "$count" -le "$max" ] || break
  mkdir -p "$host_root/$count"
  # Names of mixed case, digits and punctuation, as a cache folder might hold.
  python3 - "$host_root/$count" "$count" <<'PY'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
chars = "abcXYZ019_-."
for n in range(count):
    x = ((n + 1) * 0x9E3779B97F4A7C15) & (2**64 - 1)
    name = ""
    for _ in range(6):
        name += chars[x % len(chars)]
        x >>= 5
    os.mkdir(os.path.join(folder, name + str(n)))
PY
done

echo "== directory tree listing"
wine "$build/bin/bench_dirtree.exe" "$max" 'C:\qm-bench-dirtree' "$sorted_limit"

echo "== service runner against a service that does nothing"
wine "$build/bin/runner_bench.exe" 9

# 40 MB by default; QM_OUTPUT_MB=200 for the full measurement (minutes under Wine).
echo "== runner output: capture and rotation against the program writing its own file"
wine "$build/bin/output_bench.exe" "${QM_OUTPUT_MB:-40}"

# A minute of health checks; QM_CHECK_SECONDS shortens it.
echo "== runner checks: readiness latency, and the cost of a health check every second"
wine "$build/bin/check_bench.exe" 7 "${QM_CHECK_SECONDS:-60}"

echo "== command line with 3,000 services registered"
wine "$build/bin/cli_bench.exe" 3000
