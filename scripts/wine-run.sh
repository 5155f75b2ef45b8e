#!/usr/bin/env bash
# Runs a Windows program under Wine in the private prefix of the build that holds it.
# Used by ctest as the cross-compiling emulator; creates the prefix on first use.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
exe=$1
if [ -z "${WINEPREFIX:-}" ]; then
  # The executable lives somewhere below the build folder; the prefix sits at its top.
  dir=$(cd "$(dirname "$exe")" && pwd)
  while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] || { echo "wine-run: no build folder above $exe" >&2; exit 2; }
  export WINEPREFIX="$dir/wineprefix"
fi
"$here/wine-prefix.sh" "$WINEPREFIX" >&2
export WINEDEBUG=${WINEDEBUG:--all}
# Keep the server (and with it the Service Control Manager) up for a minute after the last
# program ends. When this call starts the server, start Wine's own background processes
# detached from our output first: started from inside a test they would inherit its pipes and
# ctest would wait for them.
if wineserver -p60 2>/dev/null; then
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi
exec wine "$@"
