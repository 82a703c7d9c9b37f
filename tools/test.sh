#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: the normal build (build/), then the
# same suite built with AddressSanitizer and UndefinedBehaviorSanitizer (build-sanitize/), where
# any memory error, undefined behaviour or leak fails the test. Stops at the first suite that
# fails. Then a short run of every fuzz target (tools/fuzz.sh). Extra arguments go to ctest, for
# both suites (e.g. "-R mqtt"), and then the fuzz targets are left out.
# --quick: the normal suite only.
# --sanitize: the sanitized suite only.
# The sanitizers' settings are each test's own (tests/CMakeLists.txt): ctest run by hand in
# build-sanitize/ behaves the same.
set -euo pipefail
cd "$(dirname "$0")/.."
normal=1
sanitized=1
case "${1:-}" in
--quick)
    sanitized=0
    shift
    ;;
--sanitize)
    normal=0
    shift
    ;;
esac
if [ "$normal" = 1 ]; then
    tools/build.sh
    (cd build && ctest --output-on-failure -j"$(nproc)" "$@")
fi
if [ "$sanitized" = 1 ]; then
    PERNIX_SANITIZE=1 tools/build.sh
    (cd build-sanitize && ctest --output-on-failure -j"$(nproc)" "$@")
fi
if [ "$normal" = 1 ] && [ "$sanitized" = 1 ] && [ $# -eq 0 ]; then
    tools/fuzz.sh --seconds 10
fi
