#!/usr/bin/env bash
# Measures the program beside an empty Qt Quick Controls 2 window: start, memory, idle CPU and
# result-to-frame latency (also under a flood of messages), under the software renderer and under
# OpenGL. Takes about ten minutes; --quick takes about one. Without a display it runs under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh --target pernix-bench >/dev/null
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 480x800x24" build/pernix-bench "$@"
fi
exec build/pernix-bench "$@"
