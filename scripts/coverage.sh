#!/bin/sh
# Builds with LLVM source-based coverage (clang) into build-coverage/, runs
# the CTest tests and every fuzz harness over its corpus (fuzz/corpus/ and
# what scripts/fuzz.sh kept in build-fuzz/corpus/), and prints line and
# branch coverage per folder of src/ (whole report in build-coverage/report.txt).
set -eu
cd "$(dirname "$0")/.."
dir=build-coverage
flags="-fprofile-instr-generate -fcoverage-mapping"
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DNIMBORA_FUZZ=ON \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$dir" -j2
rm -rf "$dir/profiles"
mkdir -p "$dir/profiles"
LLVM_PROFILE_FILE="$PWD/$dir/profiles/%p-%m.profraw"
export LLVM_PROFILE_FILE
(cd "$dir" && ctest -j2 --output-on-failure >ctest.log) || {
  tail -n 40 "$dir/ctest.log"
  exit 1
}
objects=""
for seeds in fuzz/corpus/*/; do
  harness=$(basename "$seeds")
  kept=build-fuzz/corpus/$harness
  [ -d "$kept" ] || kept=
  # Merging runs every input in a child process and goes on past one that fails.
  rm -rf "$dir/merged/$harness"
  mkdir -p "$dir/merged/$harness"
  "$dir/fuzz/$harness" -merge=1 -artifact_prefix="$dir/merged/$harness-" "$dir/merged/$harness" \
    "$seeds" $kept >"$dir/$harness.log" 2>&1
  ls "$dir/merged/$harness-"* >/dev/null 2>&1 && echo "$harness: some inputs fail (see $dir/$harness.log)"
  objects="$objects -object $dir/fuzz/$harness"
done
# A program the tests kill mid-run leaves a cut profile behind; the rest count.
llvm-profdata merge --failure-mode=all -sparse "$dir"/profiles/*.profraw \
  -o "$dir/coverage.profdata" 2>/dev/null
# shellcheck disable=SC2086
llvm-cov report "$dir/tests/nimbora_tests" -object "$dir/src/programs/nimbora-update" \
  -object "$dir/src/programs/nimbora-profile" $objects \
  -instr-profile="$dir/coverage.profdata" "$PWD/src" >"$dir/report.txt"
# Columns: file, regions (3), functions (3), lines (3), branches (3).
printf "%-22s %14s %16s\n" "src/" "lines" "branches"
awk '$1 ~ /\.(cpp|h)$/ && NF == 13 {
       folder = $1; sub(/^.*src\//, "", folder); sub(/\/[^\/]*$/, "", folder)
       lines[folder] += $8; missedLines[folder] += $9
       branches[folder] += $11; missedBranches[folder] += $12
     }
     END {
       for (folder in lines) {
         printf "%-22s %6.1f%% %6d %8.1f%% %6d\n", folder,
           100 * (lines[folder] - missedLines[folder]) / lines[folder], lines[folder],
           branches[folder] ? 100 * (branches[folder] - missedBranches[folder]) / branches[folder] : 100,
           branches[folder]
       }
     }' "$dir/report.txt" | sort
