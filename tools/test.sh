#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test, then a short run of every fuzz target
# (tools/fuzz.sh). Extra arguments go to ctest (e.g. "-R mqtt"), and then the fuzz targets are
# left out.
# --sanitize: the whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer (in
# build-sanitize/), where any memory error, undefined behaviour or leak fails the test.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--sanitize" ]; then
    shift
    PERNIX_SANITIZE=1 tools/build.sh
    # Leaks that are the toolkit's own are listed in the suppressions.
    # Full stacks (the toolkit has no frame pointers), so that the suppressions can match.
    export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0"
    export LSAN_OPTIONS="suppressions=$PWD/tools/sanitize/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    cd build-sanitize
else
    tools/build.sh
    cd build
fi
ctest --output-on-failure -j"$(nproc)" "$@"
if [ $# -eq 0 ]; then
    cd ..
    tools/fuzz.sh --seconds 10
fi
