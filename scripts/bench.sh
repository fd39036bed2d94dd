#!/bin/sh
# Builds an optimised tree in build-bench/ and runs the benchmarks: applying a
# 100 MB package by the whole nimbora-update process against cp -r, on a
# memory file system and on disk, at 2,000 and 20,000 files; profile lookups;
# verifying and applying a package with a checksum list against sha256sum -c
# and cp -r, and the hash alone; the hand-off of a start with nothing to apply.
# Optional arguments: --hand-off to time only that start, --checksums only the
# checksum list and the hash, a directory on a memory file system (default
# /dev/shm) and one on disk (default /var/tmp).
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh
sh scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
case ${1:-} in
  --*) option=$1; shift; build-bench/bench/nimbora_bench "$option" build-bench/src/programs/nimbora-update "$@" ;;
  *) build-bench/bench/nimbora_bench build-bench/src/programs/nimbora-update "$@" ;;
esac
