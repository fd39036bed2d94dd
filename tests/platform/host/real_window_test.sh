#!/bin/sh
# The Updater in a real window on a virtual X server: the window appears, a
# key press typed into it reaches the window procedure (and starts the
# application), and the program ends with status 0. Without a usable
# display the run goes on without a window and says so.
# Usage: real_window_test.sh PATH-TO-nimbora-update
set -eu
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/device/ResidentFlash/Nimbora"
cp /bin/true "$work/device/ResidentFlash/Nimbora/Nimbora.exe"

# With the status word the run shows its result and waits for a key.
timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  "$1" --root "$2/device" --virtual-clock --draw-log "$2/draw.log" -- SUCCESS &
  updater=$!
  window=$(xdotool search --sync --onlyvisible --name "^Update\$" | head -n 1)
  xdotool windowfocus --sync "$window"
  xdotool key space
  status=0
  wait "$updater" || status=$?
  exit "$status"
' sh "$program" "$work" || { echo "nimbora-update ended with status $?"; exit 1; }

grep -q '"op":"key","vk":32' "$work/draw.log" || { echo "no key press reached the window"; exit 1; }
grep -q '"op":"launch".*"ok":true' "$work/draw.log" || { echo "the application was not started"; exit 1; }
grep -q '"op":"exit","code":0' "$work/draw.log" || { echo "no clean exit logged"; exit 1; }
echo "real window: key press handled, exit status 0"

DISPLAY=:4242 SDL_VIDEODRIVER=x11 "$program" --root "$work/device" --virtual-clock --keys space \
  -- SUCCESS 2>"$work/stderr" || { echo "without a display: status $?"; exit 1; }
grep -q "^cannot open a window: .*; going on without a window\$" "$work/stderr" ||
  { echo "without a display, no fallback message:"; cat "$work/stderr"; exit 1; }
echo "no usable display: went on without a window"
