#!/bin/sh
# Draws the program icon (a downward arrow into a tray, in the screen's text
# colour on black) and writes updater.ico with 16, 32 and 48 pixel images.
# Needs ImageMagick; the result is committed, so builds don't run this.
set -eu
cd "$(dirname "$0")"
convert -size 48x48 xc:black \
  -fill 'rgb(200,150,200)' -stroke none \
  -draw 'rectangle 19,6 29,24' \
  -draw 'polygon 11,22 37,22 24,36' \
  -draw 'rectangle 6,38 42,42' \
  -draw 'rectangle 6,30 10,42' -draw 'rectangle 38,30 42,42' \
  -define icon:auto-resize=48,32,16 updater.ico
