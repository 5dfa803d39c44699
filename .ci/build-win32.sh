#!/usr/bin/env bash
# Cross-builds the Windows program build-win32/CorvantaUninstallTool.exe (and
# the backend's own check program) with mingw-w64; .ci/setup.sh installs it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=platform/win32/mingw-i686.cmake >/dev/null
cmake --build build-win32 -j2
