#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Extra arguments go to ctest
# (e.g. "-R mqtt").
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh
cd build
ctest --output-on-failure -j"$(nproc)" "$@"
