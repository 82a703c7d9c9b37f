#!/usr/bin/env bash
# Builds the Debian package of a unit (cpack) into build/: the program, the result sounds, the
# kiosk service and its settings, a first configuration, the fleet bridge generator and the
# documentation. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh --target pernix pernix-sounds
cd build
cpack -G DEB > cpack.log || { cat cpack.log >&2; exit 1; }
ls -1 "$PWD"/pernix_*_"$(dpkg --print-architecture)".deb
