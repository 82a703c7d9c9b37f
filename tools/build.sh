#!/usr/bin/env bash
# Configures and builds into build/ (incremental: unchanged code is not rebuilt).
# Extra arguments go to "cmake --build", e.g. "--target pernix".
# PERNIX_SANITIZE=1: the same with AddressSanitizer and UndefinedBehaviorSanitizer, into
# build-sanitize/.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
if [ "${PERNIX_SANITIZE:-0}" = 1 ]; then
    cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPERNIX_SANITIZE=ON >/dev/null
    cmake --build build-sanitize -j"$(nproc)" "$@"
else
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j"$(nproc)" "$@"
fi
