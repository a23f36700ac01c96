#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a bounded time
# on a copy of its committed seed corpus (fuzz/corpus/<target>/), so a run never grows the
# committed corpus. Crash inputs are kept in build-fuzz/artifacts/<target>/; any crash,
# leak, timeout or excess memory fails the run.
#   scripts/fuzz.sh                  setup + build + 30 s per target
#   scripts/fuzz.sh 300              300 s per target
#   scripts/fuzz.sh 60 fuzz_numbers  one target only
#   JOBS=2 SKIP_SETUP=1 scripts/fuzz.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-30}
shift || true
[[ -n "${SKIP_SETUP:-}" ]] || bash scripts/setup.sh --test

jobs=${JOBS:-$(nproc)}
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARELO_FUZZ=ON -DVARELO_GUI=OFF -DVARELO_TESTS=OFF -DVARELO_BENCH=OFF >/dev/null
targets=("$@")
if ((${#targets[@]} == 0)); then
    # Every target fuzz/CMakeLists.txt defines.
    known=$(ninja -C "$build" -t targets all)
    for source in fuzz/fuzz_*.cpp; do
        name=$(basename "$source" .cpp)
        if grep -q "^$name:" <<<"$known"; then targets+=("$name"); fi
    done
fi
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=()
for name in "${targets[@]}"; do
    corpus="$work/$name"
    mkdir -p "$corpus"
    [[ -d "fuzz/corpus/$name" ]] && cp -r "fuzz/corpus/$name/." "$corpus/"
    artifacts="$root/$build/artifacts/$name"
    mkdir -p "$artifacts"
    options=(-max_total_time="$seconds" -rss_limit_mb=1024 -timeout=10 -print_final_stats=1
             -artifact_prefix="$artifacts/")
    [[ -f "fuzz/$name.dict" ]] && options+=(-dict="fuzz/$name.dict")
    if [[ -f "fuzz/$name.options" ]]; then  # the target's own flags, one a line
        mapfile -t extra < <(grep -v -e '^#' -e '^$' "fuzz/$name.options")
        options+=("${extra[@]}")
    fi
    echo "== $name: ${seconds}s on $(find "$corpus" -type f | wc -l) seed files"
    if "$build/fuzz/$name" "$corpus" "${options[@]}" >"$work/$name.log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log")
        echo "   ok: ${runs:-?} inputs run, corpus now $(find "$corpus" -type f | wc -l) files"
    else
        failed+=("$name")
        tail -n 60 "$work/$name.log"
        echo "   FAILED: inputs kept in $artifacts"
    fi
done

if ((${#failed[@]})); then
    echo "fuzzing found faults in: ${failed[*]}"
    exit 1
fi
echo "fuzzing: no faults in ${targets[*]}"
