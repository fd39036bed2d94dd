#!/bin/sh
# Installs the Debian packages the build and the tests need (as root), and
# the further packages named as arguments.
set -eu

PACKAGES="build-essential cmake pkg-config libgtest-dev googletest libbenchmark-dev
  libfreetype-dev libfontconfig-dev libpng-dev libsdl2-dev fonts-dejavu-core nlohmann-json3-dev
  xvfb xdotool x11-utils imagemagick
  g++-mingw-w64-x86-64 mingw-w64-tools wine wine64 $*"

missing=""
for package in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
    missing="$missing $package"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi
