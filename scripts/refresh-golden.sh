#!/usr/bin/env bash
# Rewrites the sheet snapshots in tests/golden/ from the current build and shows what changed:
# review the diff, then commit it with the change that caused it.
#   scripts/refresh-golden.sh [BUILD_DIR]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target varelo test_golden_sheets
VARELO_REFRESH_GOLDEN=1 "$build/tests/test_golden_sheets" >/dev/null
git add --intent-to-add tests/golden
git --no-pager diff --stat -- tests/golden
git --no-pager diff -- tests/golden
