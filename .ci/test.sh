#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash .ci/setup.sh
bash .ci/build.sh
if [ -f .ci/build-win32.sh ]; then
  bash .ci/build-win32.sh
fi
ctest --test-dir build --output-on-failure -j "$(nproc)"
