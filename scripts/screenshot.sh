#!/usr/bin/env bash
# Takes a screenshot of one of the tool's windows under Xvfb and saves it as PNG.
#   scripts/screenshot.sh main OUT.png
#   scripts/screenshot.sh dirpicker OUT.png   (the Select Directory dialog, opened from the
#                                              main window at a sample folder C:\Projects\Quillmont)
# The tool is build/windows/bin/quillmnt.exe unless QM_EXE names another; Wine runs in a
# display prefix (normal graphics driver) given by WINEPREFIX, else beside the executable's
# build folder. Only this prefix's wineserver and the Xvfb started here are stopped.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
what=${1:?usage: screenshot.sh main|dirpicker OUT.png}
out=${2:?usage: screenshot.sh main|dirpicker OUT.png}

case "$what" in
  main) title="Quillmont" ;;
  dirpicker) title="Select Directory" ;;
  *) echo "screenshot: unknown window '$what' (known: main, dirpicker)" >&2; exit 2 ;;
esac

exe=${QM_EXE:-$root/build/windows/bin/quillmnt.exe}
[ -f "$exe" ] || { echo "screenshot: $exe was not built" >&2; exit 1; }
export WINEPREFIX=${WINEPREFIX:-$(dirname "$(dirname "$exe")")/wineprefix-ui}
export WINEDEBUG=-all
bash "$here/wine-prefix.sh" --display "$WINEPREFIX"

# A free display number: the first without a lock file.
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
# No window manager runs on Xvfb: let Wine draw the frames itself (caption, icon) for this run
# only, so the picture shows the window as a user sees it.
x11_key='HKCU\Software\Wine\X11 Driver'
cleanup() {
  wine reg delete "$x11_key" /v Managed /f >/dev/null 2>&1 || true
  wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=":$display"
for _ in $(seq 1 50); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.2
done

wine reg add "$x11_key" /v Managed /d N /f >/dev/null 2>&1
start_dir=$(pwd)
if [ "$what" = dirpicker ]; then
  # The dialog opens at the process's current directory: a sample project folder.
  start_dir="$WINEPREFIX/drive_c/Projects/Quillmont"
  mkdir -p "$start_dir"/{bin,config,logs,services,Tools}
fi
(cd "$start_dir" && exec wine "$exe" </dev/null >/dev/null 2>&1) &
if [ "$what" = dirpicker ]; then
  # The main window's Working Directory "..." button (1014) opens the dialog.
  press="$(dirname "$exe")/press_button.exe"
  x86_64-w64-mingw32-gcc-posix -O2 -o "$press" "$here/press_button.c"
  for _ in $(seq 1 60); do
    xwininfo -root -tree 2>/dev/null | grep -q "\"Quillmont\":" && break
    sleep 0.5
  done
  wine "$press" Quillmont 1014 </dev/null >/dev/null 2>&1 || echo "screenshot: could not press the button" >&2
fi

# Wait for the window, then a moment for it to paint.
window=""
for _ in $(seq 1 120); do
  window=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$title\":" 'index($0, t) { print $1; exit }')
  [ -n "$window" ] && break
  sleep 0.5
done
[ -n "$window" ] || { echo "screenshot: no window \"$title\" appeared" >&2; exit 1; }
sleep 2

mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "screenshot: $out"
