#!/usr/bin/env bash
# Builds the fuzz targets (clang's libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer,
# in build-fuzz/) and runs each for the given number of seconds (default 10), two at a time per
# core pair, from its committed seeds in tests/fuzz/corpus/<target>/. What a run learns stays in
# build-fuzz/corpus/; a crash, a leak or a hang fails the run and leaves its input in
# build-fuzz/artifacts/, to be replayed with "build-fuzz/tests/fuzz/fuzz_<target> <file>".
#   tools/fuzz.sh [--seconds N] [target ...]
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
SECONDS_EACH=10
if [ "${1:-}" = "--seconds" ]; then
    SECONDS_EACH=$2
    shift 2
fi
tools/setup.sh
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DPERNIX_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target pernix_fuzzers

TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=($(ls tests/fuzz/corpus))
mkdir -p build-fuzz/artifacts build-fuzz/logs
run_one() {
    local target=$1 seconds=$2
    mkdir -p "build-fuzz/corpus/$target"
    # -timeout: one input taking longer is a hang; -rss_limit_mb: the unit's memory is bounded.
    if "$ROOT/build-fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=1024 -print_final_stats=1 \
        -artifact_prefix="$ROOT/build-fuzz/artifacts/$target-" \
        "$ROOT/build-fuzz/corpus/$target" "$ROOT/tests/fuzz/corpus/$target" \
        >"build-fuzz/logs/$target.log" 2>&1; then
        local runs cov
        runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "build-fuzz/logs/$target.log" |
               grep -o '[0-9]*$')
        cov=$(grep -o 'cov: [0-9]*' "build-fuzz/logs/$target.log" | tail -1)
        echo "fuzz_$target: ok, $runs executions, $cov edges"
    else
        echo "fuzz_$target: FAILED"
        grep -A40 "ERROR\|==ERROR\|runtime error\|SUMMARY" "build-fuzz/logs/$target.log" | head -80
        return 1
    fi
}
export -f run_one
export ROOT
printf '%s\n' "${TARGETS[@]}" | xargs -P "$(nproc)" -I{} bash -c "run_one {} $SECONDS_EACH"
