# The Windows CE build under the 32-bit Wine: its Update.exe (the one with
# Wine's start-up, wine/Update.exe) with the stand-in coredll.dll beside it
# runs every scenario, compared with the host program as the other builds
# are. The backend tests link the C++ run-time, which the freestanding CE
# build has not: they ran with the 32-bit build. After each scenario the
# stand-in's record (coredll.log) must show every copied file flushed
# before main.ini~new is written, and main.ini~new flushed before it is
# moved into place, and main.ini flushed after that move.

# run_ce_build DIR: the scenarios with the CE build in DIR, in the prefix of
# the 32-bit build.
run_ce_build() {
  bits=ce
  [ -d "$drive_c" ] || create_prefix || return 0
  scenario=buildce
  missing=
  for program in "$1/wine/Update.exe" "$1/stand-in/coredll.dll" "$1/stand-in/Nimbora.exe" \
    "$host_update"; do
    [ -f "$program" ] || missing="$missing $program"
  done
  [ -z "$missing" ] || { fail "not built:$missing"; return; }
  mkdir -p "$wine_home/buildce"
  cp "$1/wine/Update.exe" "$1/stand-in/coredll.dll" "$1/stand-in/Nimbora.exe" "$wine_home/buildce/"
  give_to_wine_user "$wine_home/buildce"
  update_exe=$wine_home/buildce/Update.exe
  stand_in=$wine_home/buildce/Nimbora.exe
  durability_log=$wine_home/buildce/coredll.log
  checked_copies=0
  run_scenarios
  durability_log=
  check_outcomes
  scenario=durabilityce
  if [ "$checked_copies" -gt 0 ]; then
    passed=$((passed + 1))
    echo "ok   [$scenario] the order of the flushes checked for $checked_copies copies"
  else
    fail "no copy seen in the stand-in's record"
  fi
}

# check_durable DIR: the order of the durability calls in the stand-in's
# record of one scenario (kept as DIR/coredll.log), letter case ignored.
check_durable() {
  [ -f "$durability_log" ] || : >"$durability_log"
  cp "$durability_log" "$1/coredll.log"
  result=$(tr 'A-Z' 'a-z' <"$1/coredll.log" | awk -F '\t' '
    function fault(text) { print "fault " text; faults++ }
    $1 == "copy" { pending[$3] = 1; copies++ }
    $1 == "flush" { delete pending[$2]; flushed[$2] = NR }
    $1 == "open" && $3 ~ /main\.ini~new$/ {
      for (path in pending) fault(path " not flushed before main.ini~new was written")
      opened[$3] = NR
    }
    $1 == "move" && $2 ~ /main\.ini~new$/ {
      if (!($2 in flushed) || flushed[$2] < opened[$2]) fault($2 " moved before it was flushed")
      moved[$3] = NR
    }
    END {
      for (path in moved) if (!(path in flushed) || flushed[path] < moved[path])
        fault(path " not flushed after it was moved into place")
      print "copies " copies + 0
    }')
  # printf, not echo: the paths hold backslashes.
  printf '%s\n' "$result" | sed -n "s/^fault /FAIL [$scenario] /p"
  failures=$((failures + $(printf '%s\n' "$result" | grep -c '^fault ' || true)))
  checked_copies=$((checked_copies + $(printf '%s\n' "$result" | sed -n 's/^copies //p')))
}
