#!/bin/sh
# Cross-compiles the Windows build with MinGW-w64 into build-windows/ (or the
# directory given): build-windows/Update.exe and the test programs run under
# Wine. Further arguments go to CMake.
set -eu
cd "$(dirname "$0")/.."
dir=${1:-build-windows}
[ $# -gt 0 ] && shift
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$dir" -j2
