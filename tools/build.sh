#!/usr/bin/env bash
# Configures and builds into build/ (incremental: unchanged code is not rebuilt).
# Extra arguments go to "cmake --build", e.g. "--target pernix".
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" "$@"
