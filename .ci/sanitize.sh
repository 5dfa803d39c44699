#!/usr/bin/env bash
# Builds the tool, the simulated machine and the fault sweep with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/ and runs the
# sweep's representative subset (FAULTSWEEP_FULL=1 for the whole) with the
# hostile-input tests. Every program the sweep starts is the sanitized build,
# and a sanitizer report in any of them fails its run. Prints the counts and
# exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ASAN_BUILD_DIR:-build-asan}
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
# GCC warns falsely in the standard library under the sanitizers, so
# warnings do not stop this build (the normal build keeps -Werror).
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="$flags" -DCORVANTA_WERROR=OFF \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
BUILD_DIR="$build" FAULTSWEEP_FULL=${FAULTSWEEP_FULL:-0} bash .ci/faultsweep.sh "$@"
