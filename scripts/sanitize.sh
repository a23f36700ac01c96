#!/usr/bin/env bash
# Builds the core (base, exam, doc, docx, omr, compose, edit, the add-in, the CLI) with clang
# under AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/ and runs the unit tests there. Any sanitizer
# report fails the run. The Qt renderer and desktop are left out (VARELO_GUI=OFF): Qt's own
# libraries are not instrumented, and the normal build (scripts/test.sh) exercises them.
#   scripts/sanitize.sh             setup + build + ctest -L unit
#   JOBS=2 scripts/sanitize.sh      limit the parallel compile and test jobs
#   SKIP_SETUP=1 scripts/sanitize.sh   do not call scripts/setup.sh
set -euo pipefail
cd "$(dirname "$0")/.."

[[ -n "${SKIP_SETUP:-}" ]] || bash scripts/setup.sh --test

jobs=${JOBS:-$(nproc)}
build=build-asan

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARELO_SANITIZE=ON -DVARELO_GUI=OFF -DVARELO_BENCH=OFF -DVARELO_FUZZ=OFF >/dev/null
cmake --build "$build" -j "$jobs"

# abort_on_error makes a report fail the test even where the code under test catches errors;
# halt_on_error does the same for undefined behaviour.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" -L unit --output-on-failure -j "$jobs" --timeout 600

# The command line end to end, through the atomic save, once per layout.
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for layout in A3三栏 A3双栏 8开三栏 8开双栏 A4单栏 B5单栏; do
    "$build/src/app/cli/varelo" generate --layout "$layout" --digits 12 \
        --group 单项选择,12,4,3 --group 判断题,5,2,1.5,数字 -o "$out/$layout.docx" >/dev/null
done
echo "sanitized command line: six layouts written"
