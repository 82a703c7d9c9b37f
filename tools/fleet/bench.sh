#!/usr/bin/env bash
# The fleet figure: one central mosquitto and N units bridged to it with the configuration of
# pernix-fleet-bridge, each with a publisher imitating the program; an operator's client measures
# messages/s and latency. Arguments: the unit counts (default 25 50 100 200) and the options of
# fleet-bench.py (--help). About 90 s per count. A benchmark: not part of the test command.
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/setup.sh
exec /usr/bin/python3 tools/fleet/fleet-bench.py "$@"
