#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# they are missing. Runs as root (or through sudo when available).
set -euo pipefail

need=()
for pkg in cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev \
           libmsi-dev libglib2.0-dev msitools wixl clang-format cppcheck clang libclang-rt-14-dev; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ "${WITH_WINE:-1}" = 1 ]; then
  for pkg in g++-mingw-w64-i686 wine wine32; do
    dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
  done
fi

if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" = 0 ] || SUDO="sudo"
  if printf '%s\n' "${need[@]}" | grep -q -E '^wine32$'; then
    dpkg --print-foreign-architectures | grep -q i386 || $SUDO dpkg --add-architecture i386
  fi
  echo "Installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q "${need[@]}"
fi
