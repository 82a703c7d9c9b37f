#!/usr/bin/env bash
# Runs the product on this machine: a private mosquitto broker on loopback, the device-service
# simulator playing a looping demo story, and the UI, in the working folder run/ (configuration
# file, logs). Extra arguments go to the program.
# On a machine without a display the window is served over VNC on 127.0.0.1.
# Ctrl-C stops everything.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh --target pernix pernix-simulator

PORT="${PERNIX_MQTT_PORT:-18830}"
VNC_PORT="${PERNIX_VNC_PORT:-5900}"
RUN_DIR="$PWD/run"
mkdir -p "$RUN_DIR"
# A demo unit: its own configuration and serial number (edit or delete them to start afresh).
[ -f "$RUN_DIR/serialnumber" ] || printf 'C00001234' > "$RUN_DIR/serialnumber"
[ -f "$RUN_DIR/gui.conf" ] || printf '[gui]\ndeviceId=%s\n' "$RUN_DIR/serialnumber" > "$RUN_DIR/gui.conf"

cat > "$RUN_DIR/mosquitto.conf" <<CONF
listener $PORT 127.0.0.1
allow_anonymous true
persistence false
log_dest file $RUN_DIR/mosquitto.log
user $(id -un)
CONF

pids=()
cleanup() {
    trap - INT TERM EXIT
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup INT TERM EXIT

mosquitto -c "$RUN_DIR/mosquitto.conf" &
pids+=($!)
echo "Broker: mqtt://127.0.0.1:$PORT (log: run/mosquitto.log)"

SCENARIO="${PERNIX_SCENARIO:-$PWD/tools/simulator/scenarios/demo.txt}"
build/tools/simulator/pernix-simulator -H 127.0.0.1 -P "$PORT" -s "$SCENARIO" --loop \
    < /dev/null 2> "$RUN_DIR/simulator.log" &
pids+=($!)
echo "Simulator: $SCENARIO, looping (log: run/simulator.log);" \
     "send commands with: mosquitto_pub -p $PORT -t velt/simulator/command -m 'card valid'"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    export QT_QPA_PLATFORM="vnc:addr=127.0.0.1:port=$VNC_PORT:size=480x800"
    export QT_QUICK_BACKEND=software
    echo "No display: the screen is served over VNC; view it with a VNC viewer at 127.0.0.1:$VNC_PORT"
fi

cd "$RUN_DIR"
export PERNIX_EVENT_LOG="$RUN_DIR/events.ini"
"$OLDPWD/build/pernix" -e -H 127.0.0.1 -P "$PORT" "$@" &
pids+=($!)
wait "${pids[-1]}"
