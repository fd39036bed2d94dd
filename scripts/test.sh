#!/bin/sh
# Installs what is missing, builds, and runs every test: once normally and
# once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh

sh scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")

sh scripts/build.sh build-asan -DNIMBORA_SANITIZE=ON
(cd build-asan && ctest --output-on-failure -j"$(nproc)")
