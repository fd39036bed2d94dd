#!/bin/sh
# Runs the Windows builds under Wine in a virtual X server: the import check,
# then for each build (64-bit, and 32-bit under a 32-bit Wine, see
# scripts/wine32.sh) the backend's own tests and the Updater's scenarios on
# drive C, and the random differential against the host program with the
# 64-bit build. Each
# scenario checks the files, main.ini, the start of the stand-in
# application, the exit status and the screens, and compares the device
# tree byte for byte with what the host program leaves on a copy of it.
# Usage: run_wine_tests.sh [WINDOWS_BUILD_DIR [HOST_BUILD_DIR [SEED]]]
# The 32-bit build is WINDOWS_BUILD_DIR with "32" appended; SEED repeats a
# differential run (NIMBORA_DIFFERENTIAL_CASES sets its number of cases).
# Each part's result (passed, failed, SKIPPED: reason) goes to
# WINDOWS_BUILD_DIR/wine-tests/parts, one "NAME|RESULT" line each.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/device_trees.sh"
. "$here/screen_checks.sh"

# absolute DIR: the directory as an absolute path (as given when missing).
absolute() { (cd "$1" 2>/dev/null && pwd) || echo "$1"; }
root=$(cd "$here/../.." && pwd)
windows_build=$(absolute "${1:-$root/build-windows}")
host_build=$(absolute "${2:-$root/build}")
seed=${3:-}
host_update=$host_build/src/programs/nimbora-update

work=$windows_build/wine-tests
rm -rf "$work"
mkdir -p "$work/screens"
screens=$work/screens

# Wine runs as an unprivileged user when the suite runs as root: root passes
# over the missing write permission that stands for the read-only flag, so
# Wine would overwrite a read-only file where Windows refuses. Its prefix
# and the programs it runs are then kept where that user can reach them.
wine_user=
[ "$(id -u)" -ne 0 ] || wine_user=65534
wine_home=$(mktemp -d /tmp/nimbora-wine.XXXXXX)
mkdir -p "$wine_home/tmp"
[ -z "$wine_user" ] || chown -R "$wine_user:$wine_user" "$wine_home"

# as_wine_user COMMAND...: replaces the shell with the command, run as the
# user Wine runs as, from the Wine of the build at hand ($wine_runner);
# called in a subshell, whose process id is then the command's.
as_wine_user() {
  if [ -n "$wine_user" ]; then
    exec $wine_runner setpriv --reuid="$wine_user" --regid="$wine_user" --clear-groups \
      env -u XDG_RUNTIME_DIR HOME="$wine_home" TMPDIR="$wine_home/tmp" "$@"
  fi
  exec $wine_runner "$@"
}

# give_to_wine_user PATH...: the files become the Wine user's to change.
give_to_wine_user() {
  [ -z "$wine_user" ] || chown -R "$wine_user:$wine_user" "$@"
}

# A prefix of its own for each build, since the 32-bit Wine may be another
# system's that cannot use a 64-bit prefix; no Mono or Gecko installers, no
# debug noise.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_runner=
# use_wine BITS RUNNER...: the prefix and the Wine of one build.
use_wine() {
  WINEPREFIX=$wine_home/prefix$1
  WINEARCH=win$1
  [ "$1" = 64 ] || WINEARCH=win32
  export WINEPREFIX WINEARCH
  drive_c=$WINEPREFIX/drive_c
  shift
  wine_runner="$*"
}
wine32_runner="sh $root/scripts/wine32.sh run"

failures=0
passed=0
scenario=setup
fail() {
  echo "FAIL [$scenario] $*"
  failures=$((failures + 1))
}

xvfb_pid=
cleanup() {
  for bits in 64 32; do
    [ -d "$wine_home/prefix$bits" ] || continue
    use_wine "$bits" "$([ "$bits" = 64 ] || echo "$wine32_runner")"
    (as_wine_user wineserver -k) 2>/dev/null || true
  done
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$wine_home"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_display() {
  Xvfb -displayfd 3 -screen 0 800x480x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  tries=0
  while [ ! -s "$work/display" ] && [ $tries -lt 50 ]; do sleep 0.2; tries=$((tries + 1)); done
  [ -s "$work/display" ] || { echo "run_wine_tests: Xvfb did not start" >&2; exit 1; }
  DISPLAY=:$(cat "$work/display")
  export DISPLAY
}

create_prefix() {
  mkdir -p "$WINEPREFIX"
  give_to_wine_user "$WINEPREFIX"
  (as_wine_user wine wineboot --init) >"$work/wineboot$bits.log" 2>&1 ||
    { fail "no Wine prefix"; show_log "$work/wineboot$bits.log"; return 1; }
  (as_wine_user wineserver -w)
}

# show_log FILE: the end of a log, for a failure's context.
show_log() { tail -n 20 "$1" | sed 's/^/    /'; }

check_imports() {
  scenario=imports
  if sh "$here/check_imports.sh" "$windows_build" "${windows_build}32" --ce "${windows_build}-ce" \
    >"$work/imports.log" 2>&1; then
    passed=$((passed + 1))
    echo "ok   [imports] $(grep -c 'all on the list' "$work/imports.log") builds, $(grep -vc '^#' \
      "$root/src/platform/win32/imports.txt") listed functions"
  else
    fail "imports not on the list"
    show_log "$work/imports.log"
  fi
}

run_backend_tests() {
  scenario=backend$bits
  if (cd "$drive_c" && as_wine_user timeout 180 wine "$backend_tests") >"$work/backend$bits.log" 2>&1; then
    count=$(grep -c '^\[       OK' "$work/backend$bits.log")
    passed=$((passed + count))
    echo "ok   [backend$bits] $count tests"
  else
    fail "backend tests under Wine"
    show_log "$work/backend$bits.log"
  fi
}

# stop PID: ends a program started by run_under_wine and waits for it.
stop() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# start_update_exe LOG WORD...: Update.exe in the background with drive C
# current; its process id in pid.
start_update_exe() {
  log=$1
  shift
  (cd "$drive_c" && as_wine_user timeout 60 wine "$update_exe" "$@") >"$log" 2>&1 &
  pid=$!
}

# run_under_wine DIR KEY OUTCOME [WORD...]: Update.exe with drive C current;
# KEY (xdotool's name, or - for none) is pressed once the result screen
# shows, whose message must be OUTCOME (success, failure; - for none). The
# launch screen stays 10 seconds, the same in every run, so only the runs
# that set await_exit wait for the program to end with status 0; the
# others stop it once the screen shows, the application having been
# started before the screen is painted.
run_under_wine() {
  dir=$1
  key=$2
  outcome=$3
  shift 3
  start_update_exe "$dir/wine.log" "$@"
  if [ "$key" != - ]; then
    if ! await_screen "$pid" "$screens/$scenario-result.png" message prompt; then
      fail "no result screen (text in the message and prompt bands only)"
      stop "$pid"
      return
    fi
    echo "$outcome $(message_pixels "$screens/$scenario-result.png") $scenario" >>"$work/outcomes$bits"
    xdotool key "$key"
  fi
  if ! await_screen "$pid" "$screens/$scenario-launch.png" message footer; then
    fail "no launch screen (text in the message and footer bands only)"
    stop "$pid"
    return
  fi
  if [ -z "${await_exit:-}" ]; then
    stop "$pid"
    return
  fi
  status=0
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || { fail "exit status $status under Wine"; show_log "$dir/wine.log"; }
}

# run_on_host DIR KEY [WORD...]: the host program on DIR/host, the same key queued.
run_on_host() {
  dir=$1
  keys=
  [ "$2" = - ] || keys="--keys $2"
  shift 2
  status=0
  # shellcheck disable=SC2086 # keys: an option and a name without blanks, or nothing
  "$host_update" --root "$dir/host" --headless --virtual-clock $keys -- "$@" >"$dir/host.log" 2>&1 ||
    status=$?
  [ "$status" -eq 0 ] || { fail "exit status $status on the host"; show_log "$dir/host.log"; }
}

# The stand-in's record exists only under Wine: the host cannot execute a
# Windows program, so its start fails there and leaves no record.
compare_with_host() {
  for area in ResidentFlash "Storage Card"; do
    if ! diff -r --exclude=started.log "$drive_c/$area" "$1/host/$area" >"$1/host.diff" 2>&1; then
      fail "\\$area differs between Wine and the host"
      show_log "$1/host.diff"
    fi
  done
}

# place_tree DIR: the scenario's tree from DIR/fixture on drive C and on a host copy.
place_tree() {
  rm -rf "$drive_c/ResidentFlash" "$drive_c/Storage Card" "$1/host"
  cp -a "$1/fixture/ResidentFlash" "$1/fixture/Storage Card" "$drive_c/"
  give_to_wine_user "$drive_c/ResidentFlash" "$drive_c/Storage Card"
  cp -a "$1/fixture" "$1/host"
}

# run_scenario NAME KEY OUTCOME [WORD...]: lays out the tree of layout_NAME
# on drive C and on a host copy, runs both with the words, then check_NAME
# and the comparison.
run_scenario() {
  scenario=$1$bits
  dir=$work/$scenario
  mkdir -p "$dir/fixture"
  "layout_$1" "$dir/fixture"
  place_tree "$dir"
  [ -z "${durability_log:-}" ] || rm -f "$durability_log"
  before=$failures
  name=$1
  shift
  run_under_wine "$dir" "$@"
  key=$1
  shift 2
  run_on_host "$dir" "$key" "$@"
  "check_$name" "$dir"
  [ -z "${durability_log:-}" ] || check_durable "$dir"
  compare_with_host "$dir"
  if [ "$failures" -eq "$before" ]; then
    passed=$((passed + 1))
    echo "ok   [$scenario]"
  fi
}

# run_build BITS DIR: the backend tests and the scenarios with one build,
# in the prefix of the Wine chosen by use_wine.
run_build() {
  bits=$1
  create_prefix || return 0
  missing=
  for program in "$2/nimbora_win32_tests.exe" "$2/Update.exe" "$2/stand-in/Nimbora.exe" \
    "$host_update"; do
    [ -x "$program" ] || missing="$missing $program"
  done
  if [ -n "$missing" ]; then
    scenario=build$bits
    fail "not built:$missing"
    return
  fi
  mkdir -p "$wine_home/build$bits"
  cp "$2/nimbora_win32_tests.exe" "$2/Update.exe" "$2/stand-in/Nimbora.exe" "$wine_home/build$bits/"
  update_exe=$wine_home/build$bits/Update.exe
  stand_in=$wine_home/build$bits/Nimbora.exe
  backend_tests=$wine_home/build$bits/nimbora_win32_tests.exe
  run_backend_tests
  run_scenarios
}

. "$here/scenarios.sh"
. "$here/differential.sh"
. "$here/ce_build.sh"

# part NAME COMMAND...: runs a part of the suite and records whether it
# added failures.
part() {
  part_name=$1
  shift
  failures_before=$failures
  "$@"
  result=passed
  [ "$failures" -eq "$failures_before" ] || result=failed
  echo "$part_name|$result" >>"$work/parts"
}

build_and_outcomes() {
  run_build "$@"
  check_outcomes
}

started=$(date +%s)
start_display
part "Import check" check_imports
use_wine 64
part "Wine 64-bit" build_and_outcomes 64 "$windows_build"
part "Differential" run_differential
if wine32=$(sh "$root/scripts/wine32.sh" setup 2>"$work/wine32.log"); then
  echo "32-bit Wine: $wine32"
  use_wine 32 "$wine32_runner"
  part "Wine 32-bit" build_and_outcomes 32 "${windows_build}32"
  part "Wine CE" run_ce_build "${windows_build}-ce"
else
  reason=$(tail -n 1 "$work/wine32.log")
  echo "Wine 32-bit|SKIPPED: no 32-bit Wine could be had ($reason)" >>"$work/parts"
  echo "WINE 32-BIT SKIPPED: NO 32-BIT WINE COULD BE HAD: $reason"
  echo "Wine CE|SKIPPED: no 32-bit Wine could be had ($reason)" >>"$work/parts"
fi
echo "Wine suite took $(($(date +%s) - started)) s; screens in $screens"
# The closing count, in the form test reports are read by.
echo "wine: $passed passed, $failures failed"
[ "$failures" -eq 0 ]
