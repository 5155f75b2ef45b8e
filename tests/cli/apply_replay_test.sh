#!/usr/bin/env bash
# `quillmnt export` and `quillmnt apply` move a service to another machine and keep it there.
# Run by ctest (cli_apply_replay):
#   original  in the build's prefix, the tool's package folder where the installer puts it,
#             a service installed and given every setting with `install` and `set` (blanks,
#             quotes, percent signs, cmd's metacharacters and an e with an accent in the texts);
#             `get --json`, the service's registry key and `export` are kept; `list --json` and
#             `status --json` read by the host's JSON reader; then the service is removed
#   apply     a fresh prefix of its own (BUILD/applyprefix, made anew on every run; only its
#             own wineserver is stopped), the package and the program at the same paths:
#             `apply` of the export exits 8 (created), again 0 (nothing to change)
#   compare   `get --json` and the service's whole registry key, value types included, are
#             the same as on the first machine, and so is the service's export
#   run       the service starts, runs its program, and `status --json` says so
#   edit      --check changes nothing; a user account's password comes from the environment;
#             "Ensure": "absent" removes the service
name=apply_replay_test
tag=apply
service=qmApply
program_dir='Program Files/Apply & Co (test)'
work_dir='Apply Work/a & b'
out_dir='apply out'
source "$(dirname "${BASH_SOURCE[0]}")/../support/replay_prefix.sh"
is_json() { python3 -m json.tool "$1" >/dev/null; }
# json_get FILE PYTHON-EXPRESSION (of d, the document): its value as Python prints it.
json_get() { python3 -c "import json,sys; d=json.load(open(sys.argv[1])); print($2)" "$1"; }
# quillmnt PREFIX OUT ARGS...: its standard output into OUT, without carriage returns; its
# exit code (its standard error in $work/q.err).
quillmnt() {
  local prefix=$1 out=$2; shift 2
  in_cmd "$prefix" "$work/q.raw" "$work/q.err" quillmnt "$@"
  local rc=$?
  tr -d '\r' <"$work/q.raw" >"$out"
  return $rc
}
# A file of services for apply, in the fresh prefix's C:\apply.
put() { printf '%s' "$2" >"$fresh/drive_c/apply/$1"; }

echo "== original (build prefix)"
open_origin apply
cleanup() { close_prefixes apply; }
trap cleanup EXIT
quillmnt "$origin" /dev/null remove "$service" --force  # left by an interrupted run

# Every setting, as an administrator types them (the script in the OEM code page: the e of
# Cafe is byte 0x82 there, and 0xE9 in the ANSI code page the tool keeps it in). Wine refuses
# delayed starts; the account is a built-in one (Wine cannot log a user on).
cat >"$work/configure.cmd" <<'EOF'
@echo off
quillmnt install --display-name "Apply Caf@E 50%% & Co" --startup manual --dir "C:\Apply Work\a & b" qmApply "C:\Program Files\Apply & Co (test)\probe.exe" --record "C:\apply out\record.txt" --env QM_A --env QM_B --print "hello & 100%%" 50%% ^^caret "a  b" "" c\"d
quillmnt set qmApply Description "Applies 100%% of its settings; \"quoted\" too, !OS! and Caf@E"
quillmnt set qmApply Account LocalService
quillmnt set qmApply Dependencies RpcSs;PlugPlay
quillmnt set qmApply StopTimeout 20000
quillmnt set qmApply Stdout "C:\apply out\out.log"
quillmnt set qmApply Restart Always
quillmnt set qmApply RestartDelayMax 300000
quillmnt set qmApply RestartDelay 90000
quillmnt set qmApply Environment QM_A=1 "QM_B=%%SystemRoot%%\x & y"
quillmnt set qmApply Priority BelowNormal
quillmnt set qmApply RotateBytes 0x100000
quillmnt set qmApply Timestamps 1
EOF
sed -i 's/$/\r/; s/@E/\x82/g' "$work/configure.cmd"
in_cmd "$origin" "$work/configure.out" "$work/configure.err" "$(winepath -w "$work/configure.cmd")"
check "the settings are made: $(head -c 300 "$work/configure.err")" equal "$(cat "$work/configure.err")" ""
quillmnt "$origin" "$work/original.get.json" get "$service" --json
check "get --json is JSON" is_json "$work/original.get.json"
check "the description's e is one character in JSON" equal \
  "$(json_get "$work/original.get.json" "d['Description'][-4:]")" "Café"
registry "$origin" >"$work/original.reg"
check "the service's registry key is read" grep -q "|Installer|REG_SZ|quillmnt$" "$work/original.reg"
quillmnt "$origin" "$work/export.json" export "$service"
rc=$?
check "export succeeds: $(cat "$work/q.err")" equal "$rc" 0
check "the export is JSON" is_json "$work/export.json"
check "in ASCII" equal "$(LC_ALL=C grep -c $'[\x80-\xff]' "$work/export.json")" 0
check "the arguments are exported as stored" equal \
  "$(json_get "$work/export.json" "d['services'][0]['Arguments']")" \
  '--record "C:\apply out\record.txt" --env QM_A --env QM_B --print "hello & 100%" 50% ^caret "a  b" "" c\"d'
quillmnt "$origin" "$work/list.json" list --json
check "list --json is JSON" is_json "$work/list.json"
check "and lists the service" contains "$(json_get "$work/list.json" "[s['Name'] for s in d]")" \
  "'$service'"
quillmnt "$origin" "$work/status.json" status "$service" --json
rc=$?
check "status --json of a stopped service exits 3 ($rc)" equal "$rc" 3
check "and is JSON saying stopped" equal "$(json_get "$work/status.json" "d['State']")" stopped
quillmnt "$origin" /dev/null remove "$service" --force

echo "== apply (fresh prefix)"
open_fresh apply
cp "$work/export.json" "$fresh/drive_c/apply/$service.json"
check "the service is not there before apply" equal "$(registry "$fresh")" ""
quillmnt "$fresh" "$work/apply1.out" apply "C:\\apply\\$service.json"
rc=$?
check "apply creates it and exits 8 ($rc): $(cat "$work/q.err")" equal "$rc" 8
check "saying so first" equal "$(head -1 "$work/apply1.out")" "$service: created"
quillmnt "$fresh" "$work/apply2.out" apply "C:\\apply\\$service.json"
rc=$?
check "apply again exits 0 ($rc): $(cat "$work/q.err")" equal "$rc" 0
check "and changes nothing: $(cat "$work/apply2.out")" equal "$(cat "$work/apply2.out")" ""

echo "== compare"
quillmnt "$fresh" "$work/applied.get.json" get "$service" --json
check "get --json shows the same settings" same_file "$work/original.get.json" \
  "$work/applied.get.json"
registry "$fresh" >"$work/applied.reg"
check "the registry holds the same values of the same types" \
  same_file "$work/original.reg" "$work/applied.reg"
quillmnt "$fresh" "$work/export2.json" export "$service"
check "and the service exports as it did" same_file "$work/export.json" "$work/export2.json"

echo "== run"
quillmnt "$fresh" /dev/null start "$service" --timeout 30
record="$fresh/drive_c/$out_dir/record.txt"
for _ in $(seq 100); do [ -s "$record" ] && break; sleep 0.2; done
recorded=$(tr -d '\r' <"$record" 2>/dev/null)
check "the program runs with its arguments" contains "$recorded" \
  $'arg=hello & 100%\narg=50%\narg=^caret\narg=a  b\narg=\narg=c"d\n'
check "in its working folder" contains "$recorded" 'cwd=C:\Apply Work\a & b'
check "with its environment" contains "$recorded" $'env.QM_A=1\nenv.QM_B=C:\\windows\\x & y'
quillmnt "$fresh" "$work/running.json" status "$service" --json
rc=$?
check "status --json of the running service exits 0 ($rc)" equal "$rc" 0
check "and is JSON" is_json "$work/running.json"
check "naming the program's process" equal \
  "$(json_get "$work/running.json" "(d['State'], d['ProgramState'], d['ProcessId'])")" \
  "('running', 'running', $(sed -n 's/^pid=//p' <<<"$recorded"))"
quillmnt "$fresh" "$work/list2.json" list --json
check "list --json says it runs" equal \
  "$(json_get "$work/list2.json" "[(s['Name'], s['State']) for s in d]")" "[('$service', 'running')]"

echo "== edit"
python3 - "$work/export.json" "$fresh/drive_c/apply/changed.json" <<'PY'
import json, sys
d = json.load(open(sys.argv[1]))
d['services'][0]['RestartDelay'] = 1000
json.dump(d, open(sys.argv[2], 'w'))
PY
quillmnt "$fresh" "$work/check.out" apply --check 'C:\apply\changed.json'
rc=$?
check "--check tells of the change and exits 8 ($rc)" equal "$rc" 8
check "with the change's line: $(cat "$work/check.out")" equal "$(head -1 "$work/check.out")" \
  "$service: RestartDelay 90000 -> 1000"
registry "$fresh" >"$work/checked.reg"
check "and changes nothing" same_file "$work/original.reg" "$work/checked.reg"
python3 - "$work/export.json" "$fresh/drive_c/apply/user.json" <<'PY'
import json, sys
d = json.load(open(sys.argv[1]))
d['services'][0]['Account'] = '.\\qmuser'
d['services'][0]['AccountPasswordFrom'] = 'env:QM_APPLY_PASSWORD'
json.dump(d, open(sys.argv[2], 'w'))
PY
quillmnt "$fresh" /dev/null apply --check 'C:\apply\user.json'
rc=$?
check "a password variable that is not set refuses the file ($rc)" equal "$rc" 1
check "in one line: $(cat "$work/q.err")" grep -q "QM_APPLY_PASSWORD that is to hold" "$work/q.err"
QM_APPLY_PASSWORD='pass word' quillmnt "$fresh" "$work/user.out" apply --check 'C:\apply\user.json'
rc=$?
check "one that is set is taken ($rc): $(cat "$work/q.err")" equal "$rc" 8
check "for the account's change" contains "$(cat "$work/user.out")" \
  "$service: Account \"NT AUTHORITY\\LocalService\" -> \".\\qmuser\""
quillmnt "$fresh" /dev/null stop "$service" --timeout 30
put absent.json "{\"services\": [{\"Name\": \"$service\", \"Ensure\": \"absent\"}]}"
quillmnt "$fresh" "$work/absent.out" apply 'C:\apply\absent.json'
rc=$?
check "\"Ensure\": \"absent\" removes it ($rc)" equal "$rc:$(cat "$work/absent.out")" "8:$service: removed"
check "from the registry" equal "$(registry "$fresh")" ""

finish
