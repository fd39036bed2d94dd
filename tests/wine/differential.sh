# The random differential: random device trees and packages (differential.py)
# run by the host program and by Update.exe under Wine, then compared: paths
# in exact letter case, bytes, read-only flags and the outcome shown.
# Needs success_pixels and failure_pixels from check_outcomes.

# wine_outcome PID CASE_DIR: success or failure (the result screen), - (the
# launch screen: no outcome shown) or none; Update.exe is stopped once the
# screen shows, the files being final by then.
wine_outcome() {
  png=$screens/$scenario.png
  outcome=none
  # The result screen waits for a key; the launch screen closes on its own.
  # A busy machine can keep Wine from its first screen for half a minute.
  tries=0
  while [ $tries -lt 200 ] && kill -0 "$1" 2>/dev/null; do
    if import -window root "$png" 2>/dev/null; then
      if shows_bands "$png" message prompt; then
        pixels=$(message_pixels "$png")
        case $pixels in
          "$success_pixels") outcome=success ;;
          "$failure_pixels") outcome=failure ;;
          *) outcome="unknown screen ($pixels text pixels)" ;;
        esac
        break
      fi
      shows_bands "$png" message footer && { outcome=-; break; }
    fi
    sleep 0.3
    tries=$((tries + 1))
  done
  stop "$1"
  echo "$outcome" >"$2/wine.outcome"
}

# host_outcome CASE_DIR: the outcome text the host program drew, if any.
host_outcome() {
  if grep -q '"text":"Successfully updated the files."' "$1/draw.log"; then
    echo success
  elif grep -q '"text":"Failed to update the files."' "$1/draw.log"; then
    echo failure
  else
    echo -
  fi >"$1/host.outcome"
}

# run_case DIR: one generated case on both sides. The host run ends with
# status 3 when the result waits for a key, as none is queued.
run_case() {
  place_tree "$1"
  words=$(cat "$1/words")
  start_update_exe "$1/wine.log" ${words:+"$words"}
  wine_outcome "$pid" "$1"
  mkdir -p "$1/wine"
  cp -a "$drive_c/ResidentFlash" "$drive_c/Storage Card" "$1/wine/"
  "$host_update" --root "$1/host" --headless --virtual-clock --draw-log "$1/draw.log" \
    -- ${words:+"$words"} >"$1/host.log" 2>&1 || true
  host_outcome "$1"
}

run_differential() {
  scenario=differential
  [ -n "${success_pixels:-}" ] || { fail "no result screens to tell outcomes by"; return; }
  seed=${seed:-$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}
  cases=${NIMBORA_DIFFERENTIAL_CASES:-20}
  echo "differential: seed $seed, $cases cases (repeat: run_wine_tests.sh DIR HOST_DIR $seed)"
  python3 "$here/differential.py" generate "$seed" "$cases" "$work/differential"
  differing=0
  tolerated=0
  number=0
  while [ $number -lt "$cases" ]; do
    scenario=differential-$number
    dir=$work/differential/case-$number
    run_case "$dir"
    if python3 "$here/differential.py" compare "$dir" >"$dir/differences"; then
      passed=$((passed + 1))
    else
      differing=$((differing + 1))
      fail "Wine and the host differ (seed $seed):"
      grep -v '^tolerated' "$dir/differences"
    fi
    tolerated=$((tolerated + $(sed -n 's/^tolerated //p' "$dir/differences")))
    number=$((number + 1))
  done
  echo "differential: seed $seed, $differing of $cases cases differ;" \
    "$tolerated overwritten files kept their own read-only flag under Wine (tolerated)"
}
