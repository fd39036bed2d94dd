#!/bin/sh
# Installs what is missing, builds, and runs every test: once normally and
# once under AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzz
# harnesses briefly, then the Windows build under Wine.
set -eu
cd "$(dirname "$0")/.."
# The test stack: libFuzzer and LLVM coverage.
sh scripts/setup.sh clang llvm libclang-rt-dev

sh scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")

sh scripts/build.sh build-asan -DNIMBORA_SANITIZE=ON
(cd build-asan && ctest --output-on-failure -j"$(nproc)")

sh scripts/fuzz.sh 20

sh scripts/build-windows.sh build-windows
sh tests/wine/run_wine_tests.sh build-windows build
