# The frame of the replay scenarios run by ctest (sourced after the caller has set `name`, its
# name in messages, `tag`, `service` and the folders `program_dir`, `work_dir`, `out_dir` below
# C:\; the scenario works in BUILD/<tag>test and its fresh prefix is BUILD/<tag>prefix): a service is made in the build prefix, carried away, and recreated in a
# fresh prefix of the scenario's own, with the package and the program at the same paths, so
# that nothing on the two machines differs but what the tool carried.
# shellcheck shell=bash
set -uo pipefail

while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2 ;; --package) package=$2 ;; --probe) probe=$2 ;;
    --scripts) scripts=$2 ;;
    *) echo "$name: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done

origin=$build/wineprefix
work=$build/${tag}test
fresh=$build/${tag}prefix
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
same_file() { diff -u "$1" "$2" >&2; }

# Where a user keeps the tool, on both machines alike.
tool_dir='Program Files/Quillmont'

export WINEDEBUG=-all WINEARCH=win64
unset WINESERVER
rm -rf "$work" && mkdir -p "$work" || exit 1

# place PREFIX [FOLDER...]: the package, the program and the folders the service uses (and the
# FOLDERs below C:\), as on a machine where a user unpacked the tool and deployed the program.
place() {
  local prefix=$1 folder; shift
  mkdir -p "$prefix/drive_c/$tool_dir" "$prefix/drive_c/$program_dir" "$prefix/drive_c/$work_dir" \
    "$prefix/drive_c/$out_dir" || return 1
  for folder in "$@"; do mkdir -p "$prefix/drive_c/$folder" || return 1; done
  cp "$package"/* "$prefix/drive_c/$tool_dir/" && cp "$probe" "$prefix/drive_c/$program_dir/probe.exe"
}
# in_cmd PREFIX OUT ERR LINE...: `cmd /c LINE` in the tool's folder, as typed at a prompt
# there; its exit code. cmd_switches replaces /c.
in_cmd() {
  local prefix=$1 out=$2 err=$3; shift 3
  # shellcheck disable=SC2086 # the switches are words
  (cd "$prefix/drive_c/$tool_dir" && WINEPREFIX=$prefix timeout 60 wine cmd ${cmd_switches:-/c} "$@" \
    </dev/null >"$out" 2>"$err")
}
# The service's registry key and everything below it, one "key|value|type|data" line per value,
# sorted: the order of values in a key is the order they were written in.
registry() {
  WINEPREFIX=$1 timeout 60 wine reg query "HKLM\\SYSTEM\\CurrentControlSet\\Services\\$service" /s \
    </dev/null 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ { key = $0; next }
         /^    [^ ]/ { sub(/^    /, ""); n = index($0, "    "); name = substr($0, 1, n - 1)
                      rest = substr($0, n + 4); m = index(rest, "    ")
                      type = m ? substr(rest, 1, m - 1) : rest; data = m ? substr(rest, m + 4) : ""
                      print key "|" name "|" type "|" data }' | sort
}

# open_origin [FOLDER...]: the build prefix, ready and with the package placed.
open_origin() {
  bash "$scripts/wine-prefix.sh" "$origin" >/dev/null || { echo "FAIL cannot create $origin"; exit 1; }
  # As scripts/wine-run.sh: the build prefix's server may be shared with other tests; when this
  # call starts it, Wine's background processes start detached from our output first.
  if WINEPREFIX=$origin wineserver -p60 2>/dev/null; then
    WINEPREFIX=$origin wine cmd /c exit </dev/null >/dev/null 2>&1
  fi
  place "$origin" "$@" || { echo "FAIL cannot place the package in $origin"; exit 1; }
}
# open_fresh [FOLDER...]: a fresh prefix, made anew, its server up, the package placed.
open_fresh() {
  rm -rf "$fresh" "$fresh.lock"
  bash "$scripts/wine-prefix.sh" "$fresh" >/dev/null || { echo "FAIL cannot create $fresh"; exit 1; }
  WINEPREFIX=$fresh wineserver -p
  WINEPREFIX=$fresh wine cmd /c exit </dev/null >/dev/null 2>&1
  fresh_up=1
  place "$fresh" "$@" || { echo "FAIL cannot place the package in $fresh"; exit 1; }
}
# close_prefixes: the build prefix left as it was (the service and the placed folders gone);
# of the servers only the fresh prefix's is stopped.
close_prefixes() {
  in_cmd "$origin" /dev/null /dev/null quillmnt remove "$service" --force
  local folder
  for folder in "$tool_dir" "$program_dir" "${work_dir%%/*}" "$out_dir" "$@"; do
    rm -rf "${origin:?}/drive_c/$folder"
  done
  if [ -n "${fresh_up:-}" ]; then
    in_cmd "$fresh" /dev/null /dev/null quillmnt stop "$service" --timeout 20
    WINEPREFIX=$fresh wineserver -k 2>/dev/null
    WINEPREFIX=$fresh wineserver -w 2>/dev/null
    fresh_up=
  fi
}
# finish: the count, the prefixes closed; a fresh prefix is some 700 MB: kept only to look into
# a failure.
finish() {
  echo "$name: $failures failed"
  cleanup
  trap - EXIT
  if [ "$failures" -eq 0 ]; then rm -rf "$work" "$fresh" "$fresh.lock"; fi
  [ "$failures" -eq 0 ]
}
