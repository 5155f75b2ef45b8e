#!/usr/bin/env bash
# Sets up the machine, builds both configurations and runs every test: the native unit tests
# (with AddressSanitizer and UndefinedBehaviorSanitizer) and the Windows build's tests under
# Wine, in the build's private prefix.
#   scripts/test.sh            everything, from a bare machine (what CI runs)
#   scripts/test.sh --native   the quick path of a developer: no set-up, no Windows build, no
#                              Wine; builds and runs the native tests only
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)

if [ "${1:-}" = "--native" ]; then
  bash scripts/build.sh native || exit 1
  exec ctest --preset native -j "$(nproc)"
fi
[ $# -eq 0 ] || { echo "usage: scripts/test.sh [--native]" >&2; exit 2; }

bash scripts/setup.sh || exit 1
bash scripts/build.sh native windows || exit 1

prefix="$root/build/windows/wineprefix"
bash scripts/wine-prefix.sh "$prefix" || exit 1
export WINEPREFIX="$prefix" WINEDEBUG=-all
# One wineserver for the whole run (the Service Control Manager stays up between tests);
# only this prefix's server is stopped at the end.
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1  # Wine's background processes, detached from our pipes
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true' EXIT

summary() {  # "N% tests passed, F tests failed out of T" -> "T F"
  grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1 |
    sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2 \1/'
}

status=0
echo "== native tests"
ctest --preset native -j "$(nproc)" 2>&1 | tee build/native-ctest.log
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
echo "== Windows tests under Wine"
ctest --preset windows 2>&1 | tee build/windows-ctest.log
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1

read -r nt nf < <(summary build/native-ctest.log || echo "0 0")
read -r wt wf < <(summary build/windows-ctest.log || echo "0 0")
total=$(( ${nt:-0} + ${wt:-0} )); failed=$(( ${nf:-0} + ${wf:-0} ))
echo "native: $(( ${nt:-0} - ${nf:-0} )) passed, ${nf:-0} failed"
echo "wine: $(( ${wt:-0} - ${wf:-0} )) passed, ${wf:-0} failed"
echo "all: $(( total - failed )) passed, $failed failed"
exit $status
