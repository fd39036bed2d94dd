#!/bin/sh
# Runs the Windows build under Wine in a virtual X server: the backend's own
# tests, then the Updater's scenarios on drive C. Each scenario checks the
# files, main.ini, the start of the stand-in application, the exit status
# and the screens, and compares the device tree with what the host program
# leaves on a copy of the same tree.
# Usage: run_wine_tests.sh [WINDOWS_BUILD_DIR [HOST_BUILD_DIR]]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/device_trees.sh"
. "$here/screen_checks.sh"

# absolute DIR: the directory as an absolute path (as given when missing).
absolute() { (cd "$1" 2>/dev/null && pwd) || echo "$1"; }
root=$(cd "$here/../.." && pwd)
windows_build=$(absolute "${1:-$root/build-windows}")
host_build=$(absolute "${2:-$root/build}")
update_exe=$windows_build/Update.exe
stand_in=$windows_build/stand-in/Nimbora.exe
backend_tests=$windows_build/nimbora_win32_tests.exe
host_update=$host_build/src/programs/nimbora-update

work=$windows_build/wine-tests
rm -rf "$work"
mkdir -p "$work/screens"
screens=$work/screens

# One prefix for the whole suite; no Mono or Gecko installers, no debug noise.
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
drive_c=$WINEPREFIX/drive_c

failures=0
passed=0
scenario=setup
fail() {
  echo "FAIL [$scenario] $*"
  failures=$((failures + 1))
}

xvfb_pid=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
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
  wine wineboot --init >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
  wineserver -w
}

# show_log FILE: the end of a log, for a failure's context.
show_log() { tail -n 20 "$1" | sed 's/^/    /'; }

run_backend_tests() {
  scenario=backend
  if (cd "$drive_c" && timeout 180 wine "$backend_tests") >"$work/backend.log" 2>&1; then
    count=$(grep -c '^\[       OK' "$work/backend.log")
    passed=$((passed + count))
    echo "ok   [backend] $count tests"
  else
    fail "backend tests under Wine"
    show_log "$work/backend.log"
  fi
}

stop_wine_programs() { wineserver -k 2>/dev/null || true; }

# run_under_wine DIR KEY: Update.exe with drive C current; KEY (xdotool's
# name, or - for none) is pressed once the result screen shows.
run_under_wine() {
  (cd "$drive_c" && exec timeout 60 wine "$update_exe") >"$1/wine.log" 2>&1 &
  pid=$!
  if [ "$2" != - ]; then
    if ! await_screen "$pid" "$screens/$scenario-result.png" message prompt; then
      fail "no result screen (text in the message and prompt bands only)"
      stop_wine_programs
      return
    fi
    xdotool key "$2"
  fi
  if ! await_screen "$pid" "$screens/$scenario-launch.png" message footer; then
    fail "no launch screen (text in the message and footer bands only)"
    stop_wine_programs
    return
  fi
  status=0
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || { fail "exit status $status under Wine"; show_log "$1/wine.log"; }
}

# run_on_host DIR KEY: the host program on DIR/host, the same key queued.
run_on_host() {
  keys=
  [ "$2" = - ] || keys="--keys $2"
  status=0
  # shellcheck disable=SC2086 # keys: an option and a name without blanks, or nothing
  "$host_update" --root "$1/host" --headless --virtual-clock $keys >"$1/host.log" 2>&1 || status=$?
  [ "$status" -eq 0 ] || { fail "exit status $status on the host"; show_log "$1/host.log"; }
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

# run_scenario NAME KEY: lays out the tree of layout_NAME on drive C and on
# a host copy, runs both, then check_NAME and the comparison.
run_scenario() {
  scenario=$1
  dir=$work/$1
  mkdir -p "$dir/fixture"
  "layout_$1" "$dir/fixture"
  rm -rf "$drive_c/ResidentFlash" "$drive_c/Storage Card"
  cp -a "$dir/fixture/." "$drive_c/"
  cp -a "$dir/fixture" "$dir/host"
  before=$failures
  run_under_wine "$dir" "$2"
  run_on_host "$dir" "$2"
  "check_$1" "$dir"
  compare_with_host "$dir"
  if [ "$failures" -eq "$before" ]; then
    passed=$((passed + 1))
    echo "ok   [$1]"
  fi
}

. "$here/scenarios.sh"

started=$(date +%s)
start_display
create_prefix
run_backend_tests
missing=
for program in "$backend_tests" "$update_exe" "$stand_in" "$host_update"; do
  [ -x "$program" ] || missing="$missing $program"
done
if [ -n "$missing" ]; then
  scenario=scenarios
  fail "not built:$missing"
else
  run_scenario card space
  run_scenario flash space
  run_scenario no_package -
  run_scenario failed_launch -
fi
echo "Wine suite took $(($(date +%s) - started)) s; screens in $screens"
# The closing count, in the form test reports are read by.
echo "wine: $passed passed, $failures failed"
[ "$failures" -eq 0 ]
