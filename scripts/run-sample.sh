#!/bin/sh
# Runs the Updater on a copy of the sample device in out/device and tells
# what happened. Run it again to see the next start go straight to the
# application; pass --fresh to start over from the pristine sample.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh
sh scripts/build.sh build >/dev/null

device=out/device
app="$device/ResidentFlash/Nimbora"
if [ "${1:-}" = "--fresh" ] || [ ! -d "$device" ]; then
  rm -rf out
  mkdir -p out
  cp -a examples/device "$device"
fi
run=1
while [ -d "out/screens/run-$run" ]; do run=$((run + 1)); done
screens="out/screens/run-$run"
mkdir -p "$screens"

snapshot() { (cd "$app" && find . -type f ! -name started.log -exec md5sum {} + | sed 's| \./| |' | sort -k2); }
installed() {
  version=$(build/src/programs/nimbora-profile get "$app/main.ini" Main Version)
  time=$(build/src/programs/nimbora-profile get "$app/main.ini" Main "Update Time")
  echo "$version${time:+ ($time)}"
}
starts() { [ -f "$app/started.log" ] && wc -l < "$app/started.log" || echo 0; }

before_version=$(installed)
before_starts=$(starts)
snapshot > out/before.txt

if [ -n "${DISPLAY:-}" ]; then
  echo "Running the Updater in a window: press a key when it asks for one."
  set -- --screens "$screens"
else
  set -- --headless --virtual-clock --keys space --screens "$screens"
fi
status=0
build/src/programs/nimbora-update --root "$device" "$@" || status=$?

snapshot > out/after.txt
list() { join -v "$1" -j 2 out/before.txt out/after.txt | awk '{print $1}' | paste -sd' ' -; }
added=$(list 2)
removed=$(list 1)
changed=$(join -j 2 out/before.txt out/after.txt | awk '$2 != $3 {print $1}' | paste -sd' ' -)

echo "Run $run on $device (exit status $status)"
echo "  installed: $before_version -> $(installed)"
echo "  added:     ${added:-none}"
echo "  changed:   ${changed:-none}"
echo "  removed:   ${removed:-none}"
# The application is started without waiting for it: give it a moment.
tries=0
while [ "$(starts)" -le "$before_starts" ] && [ $tries -lt 30 ]; do
  sleep 0.1
  tries=$((tries + 1))
done
if [ "$(starts)" -gt "$before_starts" ]; then
  echo "  application started: yes ($(tail -n 1 "$app/started.log"))"
else
  echo "  application started: no"
fi
echo "  screens:   $screens/ ($(ls "$screens" | wc -l) PNG files)"
