#!/bin/sh
# Installs what is missing, builds, and runs every test: once normally and
# once under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# fuzz harnesses briefly, then the logic on a 32-bit ARM processor under
# qemu-arm, then the Windows builds (64-bit, 32-bit and CE) under Wine. Every part runs even when one before it failed; the last lines sum
# them up, one line a part, then the count of parts passed and failed. The
# exit status is 0 when no part failed.
set -eu
cd "$(dirname "$0")/.."

# The test stack, beyond what building needs: a virtual X server and its
# tools for the real-window and Wine runs, MinGW-w64 for both Windows
# builds, 64-bit Wine, Python for the random differential, clang's
# libFuzzer and LLVM's coverage tools, debootstrap for a 32-bit Wine of
# its own where the registry does not serve one (scripts/wine32.sh), the
# ARM tool chain with its emulator, and Chromium for the preview's contact
# sheet in a real browser.
TEST_PACKAGES="xvfb xdotool x11-utils imagemagick strace python3 chromium
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools
  wine wine64 clang llvm libclang-rt-dev debootstrap g++-arm-linux-gnueabi qemu-user"
# shellcheck disable=SC2086 # one package name per word
sh scripts/setup.sh $TEST_PACKAGES

results=$(mktemp)
trap 'rm -f "$results"' EXIT

# record NAME RESULT: one line of the summary.
record() { echo "$1|$2" >>"$results"; }

# part NAME COMMAND...: runs a part and records whether it passed.
part() {
  name=$1
  shift
  echo "=== $name"
  if "$@"; then record "$name" passed; else record "$name" failed; fi
}

ctest_in() {
  sh scripts/build.sh "$@" && (cd "$1" && ctest --output-on-failure -j"$(nproc)")
}

# wine_parts: the Windows builds and the Wine suite, which records its own parts.
wine_parts() {
  echo "=== Windows builds under Wine"
  if ! sh scripts/build-windows.sh build-windows; then
    for name in "Wine 64-bit" "Differential" "Wine 32-bit" "Wine CE"; do record "$name" "failed (build)"; done
    return
  fi
  sh tests/wine/run_wine_tests.sh build-windows build || true
  parts=build-windows/wine-tests/parts
  if [ -s "$parts" ]; then cat "$parts" >>"$results"; else record "Wine suite" "failed (no result)"; fi
}

part "CTest normal" ctest_in build
part "CTest sanitizers" ctest_in build-asan -DNIMBORA_SANITIZE=ON
part "Fuzzing" sh scripts/fuzz.sh 20
part "Logic on ARM" ctest_in build-arm -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabi.cmake
wine_parts

echo
echo "Summary:"
passed=0
failed=0
skipped=
while IFS='|' read -r name result; do
  printf '  %-18s %s\n' "$name" "$result"
  case $result in
    passed) passed=$((passed + 1)) ;;
    SKIPPED*) skipped="$skipped
$(echo "$name: $result" | tr '[:lower:]' '[:upper:]')" ;;
    *) failed=$((failed + 1)) ;;
  esac
done <"$results"
[ -z "$skipped" ] || echo "$skipped"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
