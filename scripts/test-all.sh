#!/usr/bin/env bash
# Builds and runs every test: the native tests on the simulated machine, then
# the Windows build and its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-native.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
(cd build && ctest --output-on-failure -j2)

# The Windows programs (i686), and the same sources for x86_64, which the
# Wine tests use as a helper of the 64-bit prefix and as the test vehicle
# where 32-bit programs cannot run.
scripts/install-wine.sh
cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake >/dev/null
cmake --build build-win32
cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-mingw.cmake >/dev/null
cmake --build build-win64
WIN64_BUILD=build-win64 tests/wine/run.sh build-win32
