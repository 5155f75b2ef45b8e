#!/usr/bin/env bash
# The installer package under Wine's msiexec, from a fresh prefix of its own (BUILD/msiprefix,
# made anew on every run; only its own wineserver is stopped). Run by ctest (installer_msi):
#   tables    a second build (same version) and a newer one (next version) from the same
#             staged folder: ProductCode new per build, UpgradeCode the same, files, event
#             source, downgrade message
#   install   silent install: files, Start-menu shortcuts, event source, one product; another
#             build of the same version replaces it
#   service   the installed tool installs a service whose binary is the installed runner; it runs
#   upgrade   the newer build replaces the older: one product, the service still running
#   downgrade the older build is refused while the newer one is installed
#   uninstall files, shortcuts and event source go; the user's service stays registered
#   folder    installed into a folder of the administrator's choice (INSTALLDIR), another
#             build (even given another INSTALLDIR) and the newer one upgrade it there, where
#             the services' runner is, and the uninstall leaves nothing in either folder
set -uo pipefail

while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2 ;; --msi) msi=$2 ;; --staged) staged=$2 ;;
    --version) version=$2 ;; --next-version) next_version=$2 ;;
    --probe) probe=$2 ;; --service-program) service_program=$2 ;;
    --wixl) wixl=$2 ;; --msiinfo) msiinfo=$2 ;; --wxs) wxs=$2 ;; --build-msi) build_msi=$2 ;;
    --scripts) scripts=$2 ;;
    *) echo "msi_test: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done

work=$build/msitest
prefix=$build/msiprefix
service=qmMsiService
custom_service=qmMsiCustomDir
source "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"

rm -rf "$work" && mkdir -p "$work" || exit 1
make_msi() {  # make_msi VERSION OUTPUT
  cmake -DWIXL="$wixl" -DWXS="$wxs" -DSOURCE_DIR="$staged" -DVERSION="$1" -DOUTPUT="$2" \
    -P "$build_msi" >"$work/wixl.log" 2>&1 || { cat "$work/wixl.log"; exit 1; }
}
make_msi "$version" "$work/same.msi"
make_msi "$next_version" "$work/next.msi"
table() { "$msiinfo" export "$1" "$2" | tr -d '\r' | tail -n +4; }  # rows only, no header
property() { table "$1" Property | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }

echo "== tables"
msi_version=$version
[[ $version =~ ^[0-9]+\.[0-9]+$ ]] && msi_version=$version.0
check "ProductVersion of the build's package is $msi_version" \
  equal "$(property "$msi" ProductVersion)" "$msi_version"
check "ProductVersion of the newer package is $next_version" \
  equal "$(property "$work/next.msi" ProductVersion)" "$next_version"
codes=$(for m in "$msi" "$work/same.msi" "$work/next.msi"; do property "$m" ProductCode; done)
check "every build has its own ProductCode" equal "$(sort -u <<<"$codes" | grep -c .)" 3
upgrades=$(for m in "$msi" "$work/same.msi" "$work/next.msi"; do property "$m" UpgradeCode; done)
check "every build has the same UpgradeCode" equal "$(sort -u <<<"$upgrades" | grep -c .)" 1
check "per-machine install (ALLUSERS=1)" equal "$(property "$msi" ALLUSERS)" 1
files=$(table "$msi" File | cut -f3 | sort | tr '\n' ' ')
expected="LICENSE carrack.exe quillmnt.exe quillmnt.html readme.txt "
[ -f "$staged/quillmnt.com" ] && expected="LICENSE carrack.exe quillmnt.com quillmnt.exe quillmnt.html readme.txt "
check "files: $files" equal "$files" "$expected"
check "readme.txt names version $version" grep -q "^Quillmont $version\$" "$staged/readme.txt"
check "the user guide names version $version" grep -q "Quillmont $version," "$staged/quillmnt.html"
registry=$(table "$msi" Registry)
check "event source points at the installed runner" \
  contains "$registry" $'EventLog\\Application\\carrack\tEventMessageFile\t[#carrack.exe]'
check "downgrade is refused with a message" \
  contains "$(table "$msi" LaunchCondition)" "A newer version of Quillmont is already installed"

# ---- under Wine, in a prefix of this test's own
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win64
unset WINESERVER
rm -rf "$prefix" "$prefix.lock"
bash "$scripts/wine-prefix.sh" "$prefix" >/dev/null || { echo "FAIL cannot create $prefix"; exit 1; }
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1  # Wine's background processes, detached from our pipes
cleanup() {
  timeout 30 wine sc stop "$service" </dev/null >/dev/null 2>&1
  timeout 30 wine sc delete "$service" </dev/null >/dev/null 2>&1
  timeout 30 wine sc delete "$custom_service" </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
}
trap cleanup EXIT

win() { timeout 60 wine "$@" </dev/null 2>/dev/null | tr -d '\r'; }
winpath() { winepath -w "$1" 2>/dev/null; }
msiexec() {  # msiexec /i|/x PACKAGE LOG [PROPERTY=VALUE...] -> msiexec's exit code
  local action=$1 package=$2 log=$3
  shift 3
  timeout 120 wine msiexec "$action" "$(winpath "$package")" /qn /l*v "$(winpath "$log")" "$@" \
    </dev/null >/dev/null 2>&1
}
products() {  # the DisplayVersion of every installed Quillmont, one a line
  win reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
    awk '/^HKEY/ { name = ""; ver = "" } /DisplayName/ { name = $3 } /DisplayVersion/ { ver = $3 }
         name == "Quillmont" && ver != "" { print ver; name = "" }'
}
install_dir="$prefix/drive_c/Program Files/Quillmont"
# Windows puts a per-machine package's shortcuts in the common Start menu; Wine's msi uses the
# user's. Either is where the package's Start-menu folder must appear (and disappear).
menus=("$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quillmont"
       "$prefix/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quillmont")
shortcuts() { for m in "${menus[@]}"; do ls "$m" 2>/dev/null; done | sort | tr '\n' '|'; }
event_source() {
  win reg query 'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\carrack' \
    /v EventMessageFile | grep EventMessageFile  # Wine's reg prints its errors on stdout
}
runner='C:\Program Files\Quillmont\carrack.exe'
binary() {  # binary [SERVICE]: the service's command line as registered, or nothing
  win reg query "HKLM\\SYSTEM\\CurrentControlSet\\Services\\${1:-$service}" /v ImagePath |
    sed -n 's/.*ImagePath *REG_[A-Z_]* *//p'
}
state() { win sc query "$service" | sed -n 's/.*STATE *: *\([0-9]*\).*/\1/p'; }
wait_state() {  # wait_state N: up to 20 s for the service to reach state N (4 runs, 1 stopped)
  for _ in $(seq 40); do [ "$(state)" = "$1" ] && return 0; sleep 0.5; done
  return 1
}

echo "== install"
msiexec /i "$msi" "$work/install.log"
check "silent install succeeds" equal "$?" 0
for f in quillmnt.exe carrack.exe quillmnt.html readme.txt LICENSE; do
  check "installed $f" test -f "$install_dir/$f"
done
check "Start-menu shortcuts: $(shortcuts)" equal "$(shortcuts)" "Quillmont User Guide.lnk|Quillmont.lnk|"
link_target() {  # link_target NAME: the path a Start-menu shortcut opens
  for m in "${menus[@]}"; do [ -f "$m/$1.lnk" ] && strings -a "$m/$1.lnk" | grep -m1 '^C:\\'; done
}
check "the tool's shortcut opens it" equal "$(link_target Quillmont)" 'C:\Program Files\Quillmont\quillmnt.exe'
check "the guide's shortcut opens it" \
  equal "$(link_target 'Quillmont User Guide')" 'C:\Program Files\Quillmont\quillmnt.html'
check "event source registered" contains "$(event_source)" "$runner"
check "one product, version $msi_version" equal "$(products | tr '\n' ' ')" "$msi_version "

msiexec /i "$work/same.msi" "$work/rebuild.log"
check "another build of the same version installs" equal "$?" 0
check "and replaces the first: one product, version $msi_version" \
  equal "$(products | tr '\n' ' ')" "$msi_version "

echo "== service"
out=$(win "$probe" install 'C:\Program Files\Quillmont\quillmnt.exe' "$service" "$(winpath "$service_program")")
check "the installed tool installs a service ($out)" contains "$out" "box=Success"
check "its binary is the installed runner: $(binary)" equal "$(binary)" "\"$runner\""
win sc start "$service" >/dev/null
check "it runs" wait_state 4

echo "== upgrade"
msiexec /i "$work/next.msi" "$work/upgrade.log"
check "silent upgrade succeeds" equal "$?" 0
check "one product, version $next_version" equal "$(products | tr '\n' ' ')" "$next_version "
check "the service still runs the installed runner" equal "$(binary)" "\"$runner\""
check "the service is still running" equal "$(state)" 4
check "the runner is in place" test -f "$install_dir/carrack.exe"
check "event source still registered" contains "$(event_source)" "$runner"

echo "== downgrade"
msiexec /i "$msi" "$work/downgrade.log"
check "installing the older build fails" differ "$?" 0
check "because a newer one is there" grep -q "NEWER_QUILLMONT_FOUND = {" "$work/downgrade.log"
check "the newer product stays alone" equal "$(products | tr '\n' ' ')" "$next_version "

echo "== uninstall"
# As the guide says: stop (here) or remove the services first; a running runner is in use.
win sc stop "$service" >/dev/null
check "the service stops" wait_state 1
msiexec /x "$work/next.msi" "$work/uninstall.log"
check "silent uninstall succeeds" equal "$?" 0
check "no product left" equal "$(products | tr '\n' ' ')" ""
check "no file left: $(ls "$install_dir" 2>/dev/null | tr '\n' ' ')" \
  equal "$(ls "$install_dir" 2>/dev/null | grep -c .)" 0
check "no shortcut left" equal "$(shortcuts)" ""
check "event source removed" equal "$(event_source)" ""
check "the user's service stays registered" equal "$(binary)" "\"$runner\""

echo "== folder"
# An administrator's folder: the upgrade must stay there, where the services' runner is.
custom='C:\Tools\Quillmont\'
custom_dir="$prefix/drive_c/Tools/Quillmont"
custom_runner="${custom}carrack.exe"
remembered() {  # the folder the installed product wrote down, or nothing
  win reg query 'HKLM\Software\Quillmont' /v InstallDir | sed -n 's/.*InstallDir *REG_SZ *//p'
}
left_in() { ls -A "$1" 2>/dev/null | tr '\n' ' '; }  # what a folder still holds
msiexec /i "$msi" "$work/custom.log" "INSTALLDIR=$custom"
check "install into $custom succeeds" equal "$?" 0
for f in quillmnt.exe carrack.exe quillmnt.html readme.txt LICENSE; do
  check "installed $f there" test -f "$custom_dir/$f"
done
check "nothing in the default folder: $(left_in "$install_dir")" equal "$(left_in "$install_dir")" ""
check "the folder is written down: $(remembered)" equal "$(remembered)" "$custom"
check "event source registered there" contains "$(event_source)" "$custom_runner"
out=$(win "$probe" install "${custom}quillmnt.exe" "$custom_service" "$(winpath "$service_program")")
check "the tool there installs a service ($out)" contains "$out" "box=Success"
check "its binary is the runner there: $(binary "$custom_service")" \
  equal "$(binary "$custom_service" | tr -d '"')" "$custom_runner"

# Another build of this version, told to go elsewhere: the services' folder wins.
msiexec /i "$work/same.msi" "$work/custom-rebuild.log" 'INSTALLDIR=C:\Elsewhere\'
check "another build given another INSTALLDIR installs" equal "$?" 0
check "but not there: $(left_in "$prefix/drive_c/Elsewhere")" \
  equal "$(left_in "$prefix/drive_c/Elsewhere")" ""
check "it stays where it was" test -f "$custom_dir/carrack.exe"
check "and keeps that folder written down" equal "$(remembered)" "$custom"

msiexec /i "$work/next.msi" "$work/custom-upgrade.log"
check "upgrade without INSTALLDIR succeeds" equal "$?" 0
check "one product, version $next_version" equal "$(products | tr '\n' ' ')" "$next_version "
for f in quillmnt.exe carrack.exe quillmnt.html readme.txt LICENSE; do
  check "upgraded $f in place" test -f "$custom_dir/$f"
done
check "still nothing in the default folder: $(left_in "$install_dir")" \
  equal "$(left_in "$install_dir")" ""
check "the folder is still written down" equal "$(remembered)" "$custom"
check "event source still there" contains "$(event_source)" "$custom_runner"

msiexec /x "$work/next.msi" "$work/custom-uninstall.log"
check "uninstall succeeds" equal "$?" 0
check "no product left" equal "$(products | tr '\n' ' ')" ""
check "nothing left in $custom: $(left_in "$custom_dir")" equal "$(left_in "$custom_dir")" ""
check "nothing in the default folder: $(left_in "$install_dir")" equal "$(left_in "$install_dir")" ""
check "the folder is no longer written down" equal "$(remembered)" ""
check "no shortcut left" equal "$(shortcuts)" ""
check "event source removed" equal "$(event_source)" ""

echo "msi_test: $failures failed"
[ "$failures" -eq 0 ]
