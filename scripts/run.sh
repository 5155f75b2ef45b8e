#!/usr/bin/env bash
# Sets up the machine, builds the Windows programs and starts the tool under Wine.
# With a display the window opens there; without one the tool runs under Xvfb and a
# screenshot of its window is saved to build/screenshots/run.png.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)

bash scripts/setup.sh
bash scripts/build.sh windows

exe="$root/build/windows/bin/quillmnt.exe"
[ -f "$exe" ] || { echo "run: $exe was not built" >&2; exit 1; }

# A prefix of its own with the normal graphics driver, apart from the tests' headless one.
export WINEPREFIX="$root/build/windows/wineprefix-ui" WINEDEBUG=-all
bash scripts/wine-prefix.sh --display "$WINEPREFIX"

if [ -n "${DISPLAY:-}" ]; then
  echo "run: starting quillmnt.exe under Wine on $DISPLAY"
  wine "$exe"
  wineserver -w
else
  bash scripts/screenshot.sh main "$root/build/screenshots/run.png"
fi
