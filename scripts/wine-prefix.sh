#!/usr/bin/env bash
# Creates a private Wine prefix (64-bit, null graphics driver so that windows need no
# display) unless it exists already. Prints only when it creates one.
set -euo pipefail
# With --display the prefix keeps Wine's normal graphics driver (for a real or Xvfb display).
display=0
if [ "${1:-}" = "--display" ]; then display=1; shift; fi
prefix=${1:?usage: wine-prefix.sh [--display] PREFIX}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win64
[ -f "$prefix/.quillmont-ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.quillmont-ready" ] && exit 0
echo "wine-prefix: creating $prefix"
# No Mono or Gecko installers: nothing here needs them, and there is no network to fetch them.
WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init >/dev/null 2>&1 || true
if [ $display -eq 0 ]; then
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
fi
wineserver -w
touch "$prefix/.quillmont-ready"
echo "wine-prefix: ready"
