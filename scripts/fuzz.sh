#!/bin/sh
# Builds the libFuzzer harnesses of fuzz/ with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/, and runs each one (or only the
# HARNESS names given) over its seed corpus (fuzz/corpus/<harness>/) and then
# for SECONDS seconds (default 300), one harness at a time. New inputs go to build-fuzz/corpus/<harness>/,
# a finding's input to build-fuzz/findings/, each run's output to
# build-fuzz/logs/; the first finding stops the script.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-300}
[ $# -gt 0 ] && shift
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNIMBORA_SANITIZE=ON -DNIMBORA_FUZZ=ON >/dev/null
cmake --build build-fuzz -j2 --target nimbora_fuzzers
mkdir -p build-fuzz/findings build-fuzz/logs
for seeds in fuzz/corpus/*/; do
  harness=$(basename "$seeds")
  case " $* " in *" $harness "*|"  ") ;; *) continue ;; esac
  case $harness in
    version_fuzz) dictionary=fuzz/version.dict ;;
    *) dictionary=fuzz/profile.dict ;;
  esac
  log=build-fuzz/logs/$harness.log
  mkdir -p "build-fuzz/corpus/$harness"
  if ! "build-fuzz/fuzz/$harness" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -dict="$dictionary" -artifact_prefix="build-fuzz/findings/$harness-" -print_final_stats=1 \
    "build-fuzz/corpus/$harness" "$seeds" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "$harness: finding (input in build-fuzz/findings/, output in $log)" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "$harness: $runs executions in $seconds s, no finding"
done
