#!/usr/bin/env bash
# Sets up, builds, lays out a demo installation in the prefix and starts the
# technician program against a simulated printer.
set -euo pipefail
cd "$(dirname "$0")"
./deps.sh
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/qvr-ccache}
cmake -S . -B build/normal -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/normal -j "$(nproc)"
echo "Built. The technician program Tovrik.exe and the machines server stand-in"
echo "Wendaro.exe are not built yet; nothing more to start."
