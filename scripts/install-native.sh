#!/usr/bin/env bash
# Installs what the native build needs (as root; only what is missing).
set -euo pipefail
packages=(cmake ninja-build g++ googletest libgtest-dev libgmock-dev libbenchmark-dev
          nlohmann-json3-dev libcli11-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
