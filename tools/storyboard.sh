#!/usr/bin/env bash
# Saves one PNG of the window per passenger screen, in Greek and in English, into the folder
# given (default: storyboard/). Without a display it runs under Xvfb.
# QT_QUICK_BACKEND=software tools/storyboard.sh shows the software renderer's pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh --target pernix-storyboard
folder="${1:-storyboard}"
export QT_IM_MODULE=qtvirtualkeyboard
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 800x900x24" build/pernix-storyboard "$folder"
fi
exec build/pernix-storyboard "$folder"
