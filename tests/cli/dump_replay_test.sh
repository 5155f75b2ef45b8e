#!/usr/bin/env bash
# `quillmnt dump` moves a service to another machine. Run by ctest (cli_dump_replay):
#   original  in the build's prefix, the tool's package folder where the installer puts it,
#             a script of commands installs a service and sets every setting the tool offers,
#             with blanks, quotes, percent signs and cmd's metacharacters in the texts;
#             `quillmnt dump` writes it to a .cmd file
#   replay    a fresh prefix of its own (BUILD/replayprefix, made anew on every run; only its
#             own wineserver is stopped), the package and the program at the same paths as on
#             the first machine, runs that file with `cmd /v:on /c` (delayed expansion on)
#   compare   `quillmnt get` (the manager's view of the service's own settings, the runner
#             values) and the service's whole registry key, value types included, are equal
#             on both machines: the tool sits at the same path on both, so nothing differs
#   run       the replayed service starts and runs the program with the arguments, working
#             folder, environment, priority and output files the settings name
name=dump_replay_test
tag=replay
service=qmReplay
program_dir='Program Files/Replay & Co (test)'
work_dir='Replay Work/a & b'
out_dir='replay out'
source "$(dirname "${BASH_SOURCE[0]}")/../support/replay_prefix.sh"
quillmnt() {  # quillmnt PREFIX ARGS...: its standard output, without carriage returns
  local prefix=$1; shift
  in_cmd "$prefix" "$work/q.out" "$work/q.err" quillmnt "$@"
  tr -d '\r' <"$work/q.out"
}

echo "== original (build prefix)"
open_origin
cleanup() { close_prefixes; }
trap cleanup EXIT
quillmnt "$origin" remove "$service" --force >/dev/null  # left by an interrupted run

# Every setting, typed as an administrator would into a script (%% and ^ are cmd's escapes),
# the script in the OEM code page cmd reads it in (437 here: the e of Cafe is byte 0x82).
# Startup is disabled, the one word besides manual that dump writes as a set of its own: Wine
# refuses delayed starts (delayed-auto is replayed by the native dump test). The account is a
# built-in one: a user's password cannot be read, so dump leaves that line for the user.
# RestartDelay is above the default RestartDelayMax: dump must set the cap first.
cat >"$work/configure.cmd" <<'EOF'
@echo off
quillmnt install --display-name "Replay Caf@E 50%% & Co" --startup manual --dir "C:\Replay Work\a & b" qmReplay "C:\Program Files\Replay & Co (test)\probe.exe" --record "C:\replay out\record.txt" --env QM_A --env QM_B --env QM_C --env QM_D --print "hello & 100%%" 50%% ^^caret ^(paren^) "a  b" "" c\"d
quillmnt set qmReplay Description "Replays 100%% of its settings & more; \"quoted\" too, !OS! and Caf@E"
quillmnt set qmReplay Startup disabled
quillmnt set qmReplay Account LocalService
quillmnt set qmReplay Dependencies RpcSs;PlugPlay
quillmnt set qmReplay StopTimeout 20000
quillmnt set qmReplay Stdout "C:\replay out\out.log"
quillmnt set qmReplay Stderr "C:\replay out\err & warnings.log"
quillmnt set qmReplay Restart Always
quillmnt set qmReplay RestartDelayMax 300000
quillmnt set qmReplay RestartDelay 90000
quillmnt set qmReplay RestartLimit 5
quillmnt set qmReplay Environment QM_A=1 "QM_B=two  words" "QM_C=50%% & more" QM_D=%%SystemRoot%%\x
quillmnt set qmReplay Priority BelowNormal
quillmnt set qmReplay RotateBytes 0x100000
quillmnt set qmReplay RotateDaily 1
quillmnt set qmReplay RotateKeep 3
quillmnt set qmReplay Timestamps 1
quillmnt set qmReplay ReadyCheck "output:hello & 100%%"
quillmnt set qmReplay ReadyTimeout 30000
quillmnt set qmReplay ReadyInterval 100
quillmnt set qmReplay HealthCheck exec:"C:\Program Files\Replay & Co (test)\probe.exe" --exit 0 "50%%"
quillmnt set qmReplay HealthInterval 600000
quillmnt set qmReplay HealthTimeout 4000
quillmnt set qmReplay HealthRetries 5
EOF
sed -i 's/$/\r/; s/@E/\x82/g' "$work/configure.cmd"
in_cmd "$origin" "$work/configure.out" "$work/configure.err" "$(winepath -w "$work/configure.cmd")"
check "the settings are made: $(head -c 300 "$work/configure.err")" equal "$(cat "$work/configure.err")" ""
quillmnt "$origin" get "$service" >"$work/original.get"
check "every setting is set (none at its default)" equal "$(grep -c '(default)' "$work/original.get")" 0
check "the texts hold the ANSI e of Cafe" equal "$(LC_ALL=C grep -c $'Caf\xe9' "$work/original.get")" 2
check "the arguments are stored as typed" grep -qxF \
  'Arguments = --record "C:\replay out\record.txt" --env QM_A --env QM_B --env QM_C --env QM_D --print "hello & 100%" 50% ^caret (paren) "a  b" "" c\"d' \
  "$work/original.get"
registry "$origin" >"$work/original.reg"
check "the service's registry key is read" grep -q "|Installer|REG_SZ|quillmnt$" "$work/original.reg"
in_cmd "$origin" "$work/dump.cmd" "$work/dump.err" quillmnt dump "$service"
dumped=$?
check "dump succeeds: $(cat "$work/dump.err")" equal "$dumped" 0
quillmnt "$origin" remove "$service" --force >/dev/null

echo "== replay (fresh prefix)"
open_fresh replay
cp "$work/dump.cmd" "$fresh/drive_c/replay/$service.cmd"
check "the service is not there before the replay" equal "$(registry "$fresh")" ""
cmd_switches="/v:on /c" in_cmd "$fresh" "$work/replay.out" "$work/replay.err" "C:\\replay\\$service.cmd"
replayed=$?
check "the dumped script runs without an error: $(head -c 300 "$work/replay.err")" \
  equal "$replayed:$(cat "$work/replay.err")" "0:"

echo "== compare"
quillmnt "$fresh" get "$service" >"$work/replayed.get"
check "quillmnt get shows the same settings" same_file "$work/original.get" "$work/replayed.get"
registry "$fresh" >"$work/replayed.reg"
check "the registry holds the same values of the same types" \
  same_file "$work/original.reg" "$work/replayed.reg"

# Run again, the script meets the service it made: it stops at the install, changing nothing.
in_cmd "$fresh" "$work/again.out" "$work/again.err" "C:\\replay\\$service.cmd"
again=$?
check "run again it stops at the install with exit code 1 ($again)" equal "$again" 1
check "and sets nothing" equal "$(tr -d '\r' <"$work/again.out" | grep -c ' set\.$')" 0

echo "== run"
quillmnt "$fresh" set "$service" Startup manual >/dev/null  # a disabled service cannot start
quillmnt "$fresh" start "$service" --timeout 30 >/dev/null
record="$fresh/drive_c/$out_dir/record.txt"
for _ in $(seq 100); do [ -s "$record" ] && break; sleep 0.2; done
recorded=$(tr -d '\r' <"$record" 2>/dev/null)
status=$(quillmnt "$fresh" status "$service")
check "the replayed service runs the program: $status" contains "$status" \
  "$service: running (program running, process $(sed -n 's/^pid=//p' <<<"$recorded"), since"
check "the program runs with its arguments" contains "$recorded" \
  $'arg=hello & 100%\narg=50%\narg=^caret\narg=(paren)\narg=a  b\narg=\narg=c"d\n'
check "in its working folder" contains "$recorded" 'cwd=C:\Replay Work\a & b'
check "with its environment" contains "$recorded" \
  $'env.QM_A=1\nenv.QM_B=two  words\nenv.QM_C=50% & more\nenv.QM_D=C:\\windows\\x'
check "below normal priority" contains "$recorded" $'priority=0x4000\n'
out_log="$fresh/drive_c/$out_dir/out.log"
for _ in $(seq 50); do grep -q 'hello' "$out_log" 2>/dev/null && break; sleep 0.2; done
check "its output is in Stdout, with time stamps" grep -qE \
  '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} hello & 100%' "$out_log"
check "its errors are in Stderr" grep -q 'err:hello & 100%' "$fresh/drive_c/$out_dir/err & warnings.log"
quillmnt "$fresh" stop "$service" --timeout 30 >/dev/null
check "it stops" equal "$(quillmnt "$fresh" status "$service")" "$service: stopped"
quillmnt "$fresh" remove "$service" >/dev/null
check "and is removed" equal "$(registry "$fresh")" ""

finish
