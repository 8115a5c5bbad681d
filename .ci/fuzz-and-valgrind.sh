#!/usr/bin/env bash
# Continuous integration, called by .ci/run after the sanitizer run: every
# fuzz target for a short fixed time (a finding fails the run), then the
# command tests under valgrind memcheck with leak checking, the programs
# they start included.
set -euo pipefail
cd "$(dirname "$0")/.."

# clang comes with the machine; valgrind may have to be installed.
missing=()
command -v clang++-14 >/dev/null || missing+=(clang-14)
command -v valgrind >/dev/null || missing+=(valgrind)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing: ${missing[*]} (apt-get install ${missing[*]})" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

echo "== fuzz targets, ${FUZZ_SECONDS:-30} s each"
fuzz/run.sh "${FUZZ_SECONDS:-30}" build-fuzzers

echo "== command tests under valgrind memcheck"
# The system allocator, so that memcheck sees every allocation.
cmake -S . -B build-valgrind -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTREEVAL_WERROR=ON \
  -DTREEVAL_MIMALLOC=OFF -DTREEVAL_BUILD_BENCH=OFF >/dev/null
suites=(hostile_test treeval_command_test safesave_test absname_test)
cmake --build build-valgrind --target treeval absname "${suites[@]}"

# Each program starts in about a second under memcheck. The loops that run
# the command hundreds of times (every value on every path, twenty
# concurrent writers, a reader racing a writer) would take most of an hour;
# they run under AddressSanitizer above, and are left out here.
declare -A filters=(
  [hostile_test]='*'
  [treeval_command_test]='-TreevalCommand.ValuesRoundTrip:TreevalCommand.ValuesXmlCannotHoldAreRefused'
  [safesave_test]='-SafeSave.ConcurrentSetCommandsKeepEveryValue:SafeSave.ReaderNeverSeesAHalfWrittenFile'
  [absname_test]='*'
)
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
# Tools the tests put in front of a program (and the shells they use) run
# natively: memcheck cannot follow strace, and the others are not ours.
# The programs end through exit with their document alive, by design: that
# memory is still reachable, which is not counted as an error.
memcheck=(valgrind -q --trace-children=yes
  --trace-children-skip='*/strace,*/setpriv,*/unshare,*/sh,*/dash,*/bash,*/rm'
  --leak-check=full --errors-for-leak-kinds=definite,possible --error-exitcode=99)

run_suite() {
  local suite=$1
  "${memcheck[@]}" --log-file="$logs/$suite.%p.vg" "build-valgrind/tests/$suite" \
    --gtest_filter="${filters[$suite]}" >"$logs/$suite.out" 2>&1
}

# Two suites at a time, one per core.
pids=()
for suite in "${suites[@]}"; do
  run_suite "$suite" & pids+=($!)
  if [ ${#pids[@]} -eq 2 ]; then wait "${pids[0]}" || true; pids=("${pids[1]}"); fi
done
wait || true

passed=0 failed=0
for suite in "${suites[@]}"; do
  reports=$(find "$logs" -name "$suite.*.vg" -size +0 | sort)
  if grep -q '^\[  PASSED  \]' "$logs/$suite.out" && ! grep -q '^\[  FAILED  \]' "$logs/$suite.out" &&
     [ -z "$reports" ]; then
    passed=$((passed + 1))
    echo "$suite: clean under memcheck"
  else
    failed=$((failed + 1))
    echo "$suite: FAILED under memcheck"
    tail -n 60 "$logs/$suite.out"
    for report in $reports; do echo "--- $report"; head -n 80 "$report"; done
  fi
done
echo "memcheck: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
