#!/bin/sh
# Installs what is missing, builds, and runs every test: once normally and
# once under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# fuzz harnesses briefly, then the Windows builds (64-bit and 32-bit) under Wine.
set -eu
cd "$(dirname "$0")/.."

# The test stack, beyond what building needs: a virtual X server and its
# tools for the real-window and Wine runs, MinGW-w64 for both Windows
# builds, 64-bit and 32-bit Wine, Python for the random differential,
# clang's libFuzzer and LLVM's coverage tools.
TEST_PACKAGES="xvfb xdotool x11-utils imagemagick strace python3
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools
  wine wine64 wine32:i386 clang llvm libclang-rt-dev"
# shellcheck disable=SC2086 # one package name per word
sh scripts/setup.sh $TEST_PACKAGES

sh scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")

sh scripts/build.sh build-asan -DNIMBORA_SANITIZE=ON
(cd build-asan && ctest --output-on-failure -j"$(nproc)")

sh scripts/fuzz.sh 20

sh scripts/build-windows.sh build-windows
sh tests/wine/run_wine_tests.sh build-windows build
