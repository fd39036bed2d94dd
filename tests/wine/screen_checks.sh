# Screenshots of the virtual X server and the text pixels in the bands of
# the 800 x 480 screen. Text pixels are those of exactly the text colour
# (red 200, green 150, blue 200); glyph edges blended with the black
# background are not counted.

TEXT_COLOUR='#C896C8'

# band_geometry NAME: the band as an ImageMagick crop geometry.
band_geometry() {
  case $1 in
    message) echo 760x40+20+200 ;;
    prompt) echo 760x40+20+300 ;;
    footer) echo 760x18+20+456 ;;
  esac
}

# text_pixels PNG [GEOMETRY]: the number of text pixels, in the whole
# screen or in the region.
text_pixels() {
  if [ $# -gt 1 ]; then
    convert "$1" -crop "$2" +repage txt:-
  else
    convert "$1" txt:-
  fi | grep -ci "$TEXT_COLOUR" || true
}

# shows_bands PNG BAND...: every named band holds text pixels, and no text
# pixel lies outside them.
shows_bands() {
  png=$1
  shift
  outside=$(text_pixels "$png")
  for band in "$@"; do
    inside=$(text_pixels "$png" "$(band_geometry "$band")")
    [ "$inside" -gt 0 ] || return 1
    outside=$((outside - inside))
  done
  [ "$outside" -eq 0 ]
}

# await_screen PID PNG BAND...: takes screenshots until one shows the bands
# (kept as PNG); fails when the program has ended or after 30 seconds.
await_screen() {
  pid=$1
  png=$2
  shift 2
  tries=0
  while [ $tries -lt 60 ]; do
    kill -0 "$pid" 2>/dev/null || return 1
    if import -window root "$png" 2>/dev/null && shows_bands "$png" "$@"; then return 0; fi
    sleep 0.5
    tries=$((tries + 1))
  done
  return 1
}

# message_pixels PNG: the number of text pixels in the message band, which
# tells the outcome texts apart (each text always gives the same count).
message_pixels() { text_pixels "$1" "$(band_geometry message)"; }

# check_outcomes: the result screens of this build's scenarios show one
# message per outcome (the same text pixels for each outcome, different ones
# for different outcomes); keeps the counts in success_pixels and
# failure_pixels for the differential.
check_outcomes() {
  scenario=outcomes$bits
  file=$work/outcomes$bits
  [ -s "$file" ] || { fail "no result screen seen"; return; }
  success_pixels=$(awk '$1 == "success" { print $2 }' "$file" | sort -u)
  failure_pixels=$(awk '$1 == "failure" { print $2 }' "$file" | sort -u)
  if [ "$(echo "$success_pixels" | wc -l)" -ne 1 ] || [ "$(echo "$failure_pixels" | wc -l)" -ne 1 ] ||
    [ -z "$success_pixels" ] || [ -z "$failure_pixels" ] ||
    [ "$success_pixels" -le "$failure_pixels" ]; then
    fail "result screens do not tell success from failure: $(tr '\n' ';' <"$file")"
  else
    passed=$((passed + 1))
    echo "ok   [$scenario] success $success_pixels text pixels, failure $failure_pixels"
  fi
}
