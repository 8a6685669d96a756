#!/usr/bin/env bash
# Builds and runs every test: the native tests on the simulated machine, then
# the Windows build and its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-native.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
(cd build && ctest --output-on-failure -j2)

if [[ -x scripts/install-wine.sh && -x tests/wine/run.sh ]]; then
  scripts/install-wine.sh
  cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake >/dev/null
  cmake --build build-win32
  tests/wine/run.sh build-win32
fi
