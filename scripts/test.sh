#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test (the CI command).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 600
