#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/ and runs each for a bounded time
# on a copy of its seeds: 30 seconds each by default, or as many seconds as
# the first argument says. Prints the inputs each target executed; exits
# non-zero when a target finds a crash (the input is kept in
# build-fuzz/artifacts/) or cannot be built.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build=${FUZZ_BUILD_DIR:-build-fuzz}
cmake -S tests/fuzz -B "$build" -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "${JOBS:-2}"

mkdir -p "$build/artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
total=0
failed=()
for seeds in tests/fuzz/seeds/*/; do
  name=$(basename "$seeds")
  program="$build/fuzz_$name"
  if [ ! -x "$program" ]; then
    echo "fuzz: no target for seeds $name" >&2
    failed+=("$name")
    continue
  fi
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  cp -n "$seeds"* "$corpus"/ 2>/dev/null || true
  log="$build/fuzz_$name.log"
  status=0
  "$program" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/${name}-" "$corpus" >"$log" 2>&1 || status=$?
  runs=$(grep -a -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  runs=${runs:-0}
  total=$((total + runs))
  if [ "$status" -ne 0 ]; then
    echo "fuzz: $name FAILED (exit $status) after $runs inputs; see $log"
    grep -a -m 5 -E 'ERROR|runtime error|artifact' "$log" || true
    failed+=("$name")
  else
    echo "fuzz: $name: $runs inputs executed in ${seconds}s"
  fi
done
echo "fuzz: inputs executed $total, targets failed ${#failed[@]}"
[ ${#failed[@]} -eq 0 ]
