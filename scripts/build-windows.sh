#!/bin/sh
# Cross-compiles the Windows builds with MinGW-w64: the 64-bit one into
# build-windows/ (or the directory given), the 32-bit one, with the panel's
# pointer and record sizes, into the same name with "32" appended, and the
# Windows CE 6.0 one for the panel (cmake/mingw-w64-i686-ce.cmake) into the
# same name with "-ce" appended. Each holds Update.exe and the test programs
# run under Wine. Further arguments go to CMake.
set -eu
cd "$(dirname "$0")/.."
dir=${1:-build-windows}
[ $# -gt 0 ] && shift

# build ARCH DIR [CMAKE_ARGUMENT...]
build() {
  arch=$1
  out=$2
  shift 2
  cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-w64-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$out" -j2
}

build x86_64 "$dir" "$@"
build i686 "${dir}32" "$@"
build i686-ce "${dir}-ce" "$@"
