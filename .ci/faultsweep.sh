#!/usr/bin/env bash
# The whole fault sweep from one command: every scenario of
# tests/faultsweep, every platform operation its runs call, every likely
# error code, failing at every call and at each of the first sixty calls
# alone. Builds what it needs in build/ (or BUILD_DIR), prints the counts of
# each scenario and the totals, and exits non-zero on any failure.
# FAULTSWEEP_FULL=0 runs the shorter subset the test suite runs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target CorvantaUninstallTool winsim test_packages test_faultsweep
export FAULTSWEEP_FULL=${FAULTSWEEP_FULL:-1}
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
"$build/tests/test_faultsweep" "$@" >"$out" 2>&1 || status=$?
grep -a -E '^\[  (FAILED|PASSED) |^\[==========\]|^faultsweep:|Failure$|failing with' "$out" | cut -c1-400 || true
awk '/^faultsweep: scenario/ {
       for (i = 1; i <= NF; ++i) {
         if ($i == "runs") runs += $(i + 1)
         if ($i == "tried") tried += $(i + 1)
         if ($i == "failed") failed += $(i + 1)
       }
       scenarios++
     }
     END { printf "fault sweep: scenarios %d, runs %d, faults tried %d, failed %d\n", scenarios, runs, tried, failed }' "$out"
if [ "$status" -ne 0 ]; then
  echo "--- last lines of the sweep's output ---"
  tail -n 30 "$out" | cut -c1-400
  echo "fault sweep: FAILED (exit $status)"
  exit "$status"
fi
grep -q '^faultsweep: scenario' "$out" || { echo "fault sweep: no scenario ran"; exit 1; }
