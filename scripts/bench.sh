#!/bin/sh
# Builds an optimised tree in build-bench/ and runs the benchmarks: applying a
# 100 MB package by the whole nimbora-update process against cp -r, on a
# memory file system and on disk, at 2,000 and 20,000 files; profile lookups;
# verifying and applying a package with a checksum list against sha256sum -c
# and cp -r, and the hash alone; the hand-off of a start with nothing to apply.
# Optional arguments: --hand-off to time only that start, --checksums only the
# checksum list and the hash, a directory on a memory file system (default
# /dev/shm) and one on disk (default /var/tmp).
# With --tool, the package tool instead: make against rsync -rcn, check and
# preview against the real run; then optionally the tree sizes (default
# 2000,20000), the entries of the listed package (default 5000) and the
# directory to work in (default /dev/shm).
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh rsync
sh scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
programs=build-bench/src/programs
case ${1:-} in
  --tool) shift; build-bench/bench/nimbora_package_bench "$programs/nimbora-package" "$programs/nimbora-update" "$@" ;;
  --*) option=$1; shift; build-bench/bench/nimbora_bench "$option" "$programs/nimbora-update" "$@" ;;
  *) build-bench/bench/nimbora_bench "$programs/nimbora-update" "$@" ;;
esac
