#!/usr/bin/env bash
# Creates a private Wine prefix (64-bit, null graphics driver so that windows need no
# display) unless it exists already. Prints only when it creates one.
set -euo pipefail
# With --display the prefix keeps Wine's normal graphics driver (for a real or Xvfb display).
display=0
if [ "${1:-}" = "--display" ]; then display=1; shift; fi
prefix=${1:?usage: wine-prefix.sh [--display] PREFIX}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win64
# A display prefix gets Wine's own TrueType fonts (fonts-wine) in its Fonts folder: Debian's
# Wine does not load them from where the package puts them, so windows drew the caption
# buttons as letters (no Marlett) and the dialog font fell back to a host font.
display_fonts() {
  [ $display -eq 1 ] || return 0
  local fonts="$prefix/drive_c/windows/Fonts"
  [ -f "$fonts/marlett.ttf" ] && return 0
  mkdir -p "$fonts"
  cp /usr/share/wine/fonts/*.ttf "$fonts/" 2>/dev/null || echo "wine-prefix: fonts-wine is missing" >&2
}
if [ -f "$prefix/.quillmont-ready" ]; then display_fonts; exit 0; fi
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
display_fonts
touch "$prefix/.quillmont-ready"
echo "wine-prefix: ready"
