#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: the unit and
# scenario tests on the simulated machine, the Windows build's scenarios
# under Wine (test_wine), the fault sweep's subset (test_faultsweep), then
# the fault sweep under AddressSanitizer and UndefinedBehaviorSanitizer and a
# bounded run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash .ci/setup.sh
bash .ci/build.sh
bash .ci/build-win32.sh
ctest --test-dir build --output-on-failure -j "$(nproc)"
# Under the sanitizers: the hostile-input tests and two sweep scenarios (one
# immediate cleanup, one across the restart); `bash .ci/sanitize.sh` alone
# runs every scenario of the subset.
bash .ci/sanitize.sh --gtest_filter='-*AloneAfterRestart:*SharedRegistryValues:*PreserveThenRestart'
bash .ci/fuzz.sh "${FUZZ_SECONDS:-20}"
