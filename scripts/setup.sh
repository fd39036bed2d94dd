#!/bin/sh
# Installs the Debian packages that building and the sample need (as root),
# and the further packages named as arguments (the test command names its
# test stack). A package for another architecture (name:i386) adds that
# architecture first.
set -eu

PACKAGES="build-essential cmake pkg-config libgtest-dev googletest libbenchmark-dev
  libfreetype-dev libfontconfig-dev libpng-dev libsdl2-dev fonts-dejavu-core nlohmann-json3-dev"

missing=""
architectures=""
for package in $PACKAGES "$@"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" && continue
  missing="$missing $package"
  case $package in
    *:*) architectures="$architectures ${package#*:}" ;;
  esac
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  for architecture in $architectures; do
    dpkg --print-foreign-architectures | grep -qx "$architecture" ||
      dpkg --add-architecture "$architecture"
  done
  apt-get update -qq
  # shellcheck disable=SC2086 # one package name per word
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi
