#!/bin/sh
# Kills nimbora-update at each call, in turn, of every system call that can
# change a file, then starts it again, twice at most: the device must end as
# a run that was not killed leaves it (leftovers of a flash package whose
# update.ini is gone aside), and main.ini must be whole at the moment of the
# kill.
# usage: kill_at_every_call_test.sh NIMBORA_UPDATE NIMBORA_PROFILE
set -eu
update=$1
profile=$2
# On a memory file system the flushes need not wait for a shared disk.
parent=/dev/shm
[ -d "$parent" ] || parent=${TMPDIR:-/tmp}
work=$(mktemp -d "$parent/nimbora-kill-XXXXXX")
trap 'rm -rf "$work"' EXIT
device="$work/device"
calls="openat openat2 write pwrite64 ftruncate copy_file_range sendfile fchmod chmod fchmodat
  unlink unlinkat mkdir mkdirat rmdir rename renameat renameat2 link linkat fsync fdatasync syncfs"
installed='[Main]\r\nVersion=1.2.3\r\nUpdate Time=2013-08-16 7:30:00\r\nTitle=Station 7\r\n[Option]\r\nLangue=English\r\n'

# lay SOURCE DELETE UPDATE: the installed application and a package 1.10.0.
lay() {
  rm -rf "$device"
  app="$device/ResidentFlash/Nimbora"
  mkdir -p "$app/skins" "$app/Database" "$device/Storage Card"
  printf "$installed" > "$app/main.ini"
  for file in Nimbora.exe old.txt skins/day.skin Database/Param.dat; do echo old > "$app/$file"; done
  if [ "$1" = card ]; then package="$device/Storage Card/Update Nimbora"; else package="$device/ResidentFlash/Update Nimbora"; fi
  mkdir -p "$package/maps"
  printf '[Main]\r\nVersion=1.10.0\r\nUpdate Time=2013-10-12 18:00:00\r\nDelete=%s\r\nUpdate=%s\r\n[Delete]\r\nfile1=old.txt\r\nfile2=skins\\\r\n[Update]\r\nfile1=Nimbora.exe\r\nfile2=maps\\alps.map\r\n' \
    "$2" "$3" > "$package/update.ini"
  echo new > "$package/Nimbora.exe"
  echo alps > "$package/maps/alps.map"
}

# The leak checker cannot work under a tracer.
traced() {
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" strace -f -qq "$@"
}

start() { "$update" --root "$device" --headless --virtual-clock --keys space,space,space >/dev/null 2>&1 || true; }

# Every entry and every file's bytes, without a description-less flash package.
describe() {
  (cd "$device"
   skip=./none
   [ -e "ResidentFlash/Update Nimbora/update.ini" ] || skip="./ResidentFlash/Update Nimbora"
   find . -path "$skip" -prune -o -print | sort
   find . -path "$skip" -prune -o -type f -exec md5sum {} + | sort)
}

main_ini="$device/ResidentFlash/Nimbora/main.ini"

# What main.ini may hold at a kill: old, version recorded (over the old file
# or over none), both recorded; or no file once the delete step took it.
allowed_main_ini() {
  cp "$main_ini" "$work/allowed.1"
  "$profile" set "$main_ini" Main Version 1.10.0
  cp "$main_ini" "$work/allowed.2"
  rm "$main_ini"
  "$profile" set "$main_ini" Main Version 1.10.0
  cp "$main_ini" "$work/allowed.3"
}

# Between the two moves of a replace (the old content moved aside), the new
# content waits beside it.
is_allowed() {
  now=$main_ini
  [ -e "$now" ] || [ ! -e "$main_ini~old" ] || now="$main_ini~new"
  [ -e "$now" ] || { [ "$1" = all ] && [ ! -e "$main_ini~old" ]; return; }
  for candidate in "$work"/allowed.*; do cmp -s "$now" "$candidate" && return 0; done
  return 1
}

# The numbers of the calls that may change a file: every call but an open
# for reading only.
kill_points() {
  awk -v call="$1" '$2 ~ "^" call "\\(" { n++; if (call !~ /^open/ || $0 ~ /O_WRONLY|O_RDWR|O_CREAT|O_TRUNC/) print n }' \
    "$work/trace"
}

failures=0
for shape in "flash all all" "card 2 2"; do
  set -- $shape
  lay "$@"
  allowed_main_ini
  lay "$@"
  traced -s 4096 -o "$work/trace" -e trace="$(echo $calls | tr ' ' ,)" "$update" --root "$device" \
    --headless --virtual-clock --keys space,space,space >/dev/null 2>&1
  cp "$main_ini" "$work/allowed.4"
  describe > "$work/clean"
  # A start changes nothing in the clean state, so one that reaches it ends the check.
  start
  describe | cmp -s - "$work/clean" || { echo "$shape: a start changes the clean state"; exit 1; }
  points=0
  shape_failures=0
  for call in $calls; do
    for k in $(kill_points "$call"); do
      lay "$@"
      traced -o /dev/null -e trace="$call" -e inject="$call:signal=KILL:when=$k" "$update" \
        --root "$device" --headless --virtual-clock --keys space,space,space >/dev/null 2>&1 || true
      problem=""
      is_allowed "$2" || problem="main.ini torn"
      start
      describe > "$work/end"
      cmp -s "$work/end" "$work/clean" || { start; describe > "$work/end"; }
      [ -n "$problem" ] || cmp -s "$work/end" "$work/clean" || problem="wrong end state"
      if [ -n "$problem" ]; then
        shape_failures=$((shape_failures + 1))
        [ "$shape_failures" -gt 1 ] || { echo "$shape, $call call $k: $problem"; diff "$work/clean" "$work/end" || true; }
      fi
      points=$((points + 1))
    done
  done
  echo "$shape: $points kill points, $shape_failures failures"
  failures=$((failures + shape_failures))
done
[ "$failures" -eq 0 ]
