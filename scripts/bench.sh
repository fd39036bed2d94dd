#!/bin/sh
# Builds an optimised tree in build-bench/ and times applying a whole
# 100 MB package against cp -r of it. An optional argument names the
# directory to work in (default: the system's temporary directory).
set -eu
cd "$(dirname "$0")/.."
sh scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
build-bench/bench/nimbora_bench "$@"
