#!/usr/bin/env bash
# The main job: builds the native tree and runs the installer on the default
# simulated machine (a clean 32-bit Windows XP), printing what the user saw,
# what it logged, the commands it started and how the machine changed.
# Arguments go to qprsim (e.g. --machine win7-64, --list-presets).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-native.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target qprsim >/dev/null
exec build/tools/qprsim/qprsim "$@"
