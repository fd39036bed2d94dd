#!/bin/sh
# Installs the Debian packages that building and the sample need (as root),
# and the further packages named as arguments (the test command names its
# test stack). A package for another architecture (name:i386) adds that
# architecture first. Packages named after --optional are installed where
# the registry serves them; one it cannot serve is reported, not fatal.
#
# The registry may serve some package lists and not others (a mirror in the
# middle of a sync): the update is retried once, the lists it still could
# not fetch are named once, and installing goes on with the lists it has.
# Only a required package that cannot be installed stops the set-up.
set -eu

PACKAGES="build-essential cmake pkg-config libgtest-dev googletest libbenchmark-dev
  libfreetype-dev libfontconfig-dev libpng-dev libsdl2-dev fonts-dejavu-core nlohmann-json3-dev"

required=$PACKAGES
optional=
while [ $# -gt 0 ]; do
  case $1 in
    --optional) shift; optional="$optional $*"; break ;;
    *) required="$required $1" ;;
  esac
  shift
done

# missing_of PACKAGE...: those not installed.
missing_of() {
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
      printf ' %s' "$package"
  done
}

# shellcheck disable=SC2086 # one package name per word
missing_required=$(missing_of $required)
# shellcheck disable=SC2086
missing_optional=$(missing_of $optional)
[ -n "$missing_required$missing_optional" ] || exit 0

added_architectures=
for package in $missing_required $missing_optional; do
  case $package in
    *:*)
      architecture=${package#*:}
      dpkg --print-foreign-architectures | grep -qx "$architecture" && continue
      dpkg --add-architecture "$architecture"
      added_architectures="$added_architectures $architecture"
      ;;
  esac
done

# update_lists: apt-get update, once more when a list failed; the lists it
# could not fetch in the end are named, and the set-up goes on without them.
update_lists() {
  log=$(mktemp)
  for try in 1 2; do
    if apt-get update -qq >"$log" 2>&1; then
      rm -f "$log"
      return 0
    fi
    [ "$try" -eq 2 ] || sleep 5
  done
  echo "setup: some package lists could not be fetched; going on without them:" >&2
  grep -E '^(E|W): (Failed to fetch|Some index files)' "$log" | sed 's/^/  /' >&2 || cat "$log" >&2
  rm -f "$log"
}

# install PACKAGE...: installs them all in one transaction.
install() {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" \
    >/tmp/nimbora-setup.log 2>&1
}

# install_each PACKAGE...: the ones that cannot be installed, each tried alone.
install_each() {
  for package in "$@"; do
    install "$package" || printf ' %s' "$package"
  done
}

echo "Installing:$missing_required$missing_optional"
update_lists

if [ -n "$missing_required" ]; then
  # shellcheck disable=SC2086 # one package name per word
  if ! install $missing_required; then
    # shellcheck disable=SC2086
    failed=$(install_each $missing_required)
    if [ -n "$failed" ]; then
      echo "setup: cannot install required packages:$failed" >&2
      tail -n 15 /tmp/nimbora-setup.log | sed 's/^/  /' >&2
      exit 1
    fi
  fi
fi

# shellcheck disable=SC2086
failed=$(install_each $missing_optional)
if [ -n "$failed" ]; then
  echo "setup: the registry does not serve these optional packages now:$failed" >&2
  grep -E '^E:|Depends:' /tmp/nimbora-setup.log | head -n 5 | sed 's/^/  /' >&2
  # An architecture added for nothing would only slow every later update.
  for architecture in $added_architectures; do
    dpkg-query -W -f='${Architecture}\n' | grep -qx "$architecture" ||
      dpkg --remove-architecture "$architecture"
  done
fi
exit 0
