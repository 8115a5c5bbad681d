#!/usr/bin/env bash
# Builds the fuzz targets with clang (TREEVAL_FUZZ) and runs each in turn for
# SECONDS seconds, starting from its seed corpus under fuzz/corpus. Fails on
# the first finding; the input that caused it is kept in fuzz-findings/ of
# the current directory, to become a regression test.
# Usage: fuzz/run.sh SECONDS [BUILD_DIR]   (BUILD_DIR defaults to build-fuzzers)
set -euo pipefail
seconds=${1:?usage: fuzz/run.sh SECONDS [BUILD_DIR]}
build=${2:-build-fuzzers}
here=$(cd "$(dirname "$0")" && pwd)
targets=(xstring pathgrammar setengine loadquery)

CC=clang-14 CXX=clang++-14 cmake -S "$here/.." -B "$build" -G Ninja -DTREEVAL_FUZZ=ON \
  -DTREEVAL_BUILD_TESTS=OFF -DTREEVAL_BUILD_BENCH=OFF -DTREEVAL_MIMALLOC=OFF >/dev/null
cmake --build "$build" --target fuzzers

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${targets[@]}"; do
  echo "== fuzz_$target for ${seconds} s"
  mkdir -p "$work/$target" "$work/$target-artifacts"
  # New inputs go to the scratch corpus (the first directory); the seeds in
  # the repository are only read.
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=4096 -print_final_stats=1 -artifact_prefix="$work/$target-artifacts/" \
      "$work/$target" "$here/corpus/$target" >"$work/$target.log" 2>&1; then
    tail -n 80 "$work/$target.log"
    mkdir -p fuzz-findings
    cp "$work/$target-artifacts/"* fuzz-findings/ 2>/dev/null || true
    echo "fuzz_$target: finding, input kept in fuzz-findings/" >&2
    exit 1
  fi
  grep -E '^stat::number_of_executed_units|^Done' "$work/$target.log" || true
done
echo "fuzzers ran clean: ${#targets[@]} targets, ${seconds} s each"
