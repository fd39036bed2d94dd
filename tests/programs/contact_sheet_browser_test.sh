#!/bin/sh
# The contact sheet of nimbora-package preview in a real browser: the
# sample device's index.html opened in headless Chromium renders at the
# window's size, names every language and holds every screen, and every
# screen loaded (the screens are black, the page is not: a broken image
# would leave its black pixels out). The screenshot is kept in OUT_DIR.
# Usage: contact_sheet_browser_test.sh PATH-TO-nimbora-package DEVICE_DIR OUT_DIR
# Exit status 77 (skipped) without Chromium or ImageMagick.
set -eu
program=$1
device=$2
out=$3
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "SKIPPED: no chromium (scripts/test.sh installs it)"
  exit 77
fi
if ! command -v convert >/dev/null || ! command -v identify >/dev/null; then
  echo "SKIPPED: no ImageMagick (scripts/test.sh installs it)"
  exit 77
fi
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$program" preview --device "$device" --out "$out/preview" "$device/Storage Card/Update Nimbora" >/dev/null

width=1900
height=2200
page="file://$out/preview/index.html"
browse() {
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-dev-shm-usage \
    --user-data-dir="$work/profile" --hide-scrollbars "$@" "$page" 2>>"$work/browser.log"
}
browse --window-size=$width,$height --screenshot="$out/contact-sheet.png" >/dev/null ||
  { echo "chromium failed:"; tail -5 "$work/browser.log"; exit 1; }
browse --dump-dom >"$work/dom.html" || { echo "chromium could not dump the page"; exit 1; }

size=$(identify -format '%w %h' "$out/contact-sheet.png")
[ "$size" = "$width $height" ] || { echo "screenshot is $size, not $width $height"; exit 1; }

# Every language's name and every screen, as report.json lists them, in the page.
python3 - "$out/preview/report.json" "$work/dom.html" >"$work/screens" <<'PYTHON' || exit 1

import html, json, sys
report = json.load(open(sys.argv[1], encoding="utf-8"))
dom = open(sys.argv[2], encoding="utf-8").read()
missing = [l["language"] for l in report["languages"] if ">" + html.escape(l["language"]) not in dom]
missing += [f for l in report["languages"] for f in l["screens"] if 'alt="%s"' % html.escape(f) not in dom]
if missing or not report["languages"]:
    sys.exit("not in the page: %s" % missing)
print("\n".join(f for l in report["languages"] for f in l["screens"]))
PYTHON

# Each screen is drawn at 320 x 192 and is black but for its texts: the
# page's black pixels are those of every screen, less a broken one's.
black_pixels() { convert "$@" -fill white +opaque black -negate -format '%[fx:mean*w*h]\n' info:; }
black=$(printf "%.0f" "$(black_pixels "$out/contact-sheet.png")")
expected=0
screens=0
while IFS= read -r screen; do
  expected=$(awk -v sum="$expected" -v more="$(black_pixels "$out/preview/$screen" -resize '320x192!')" \
    'BEGIN { print sum + more }')
  screens=$((screens + 1))
done <"$work/screens"
awk -v black="$black" -v expected="$expected" 'BEGIN { exit !(black >= 0.98 * expected) }' ||
  { echo "$black black pixels where $screens loaded screens have $expected"; exit 1; }
spread=$(convert "$out/contact-sheet.png" -colorspace Gray -format '%[fx:standard_deviation > 0.1]' info:)
[ "$spread" = 1 ] || { echo "the screenshot is nearly uniform"; exit 1; }
echo "contact sheet: $screens screens rendered ($black black pixels, $expected expected); screenshot $out/contact-sheet.png"
