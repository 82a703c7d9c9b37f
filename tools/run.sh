#!/usr/bin/env bash
# Runs the product on this machine: a private mosquitto broker on loopback, the device-service
# simulator playing a looping demo story, and the UI, in the working folder run/ (configuration
# file, logs). Extra arguments go to the program.
# On a machine without a display the UI runs on a private X server (Xvfb, OpenGL through Mesa)
# whose screen is served to a browser (noVNC) and to VNC viewers, on 127.0.0.1 only.
# Ctrl-C stops everything.
#
# Environment: PERNIX_MQTT_PORT, PERNIX_VNC_PORT, PERNIX_WEB_PORT (ports), PERNIX_SCENARIO (demo
# story), PERNIX_RUN_DIR (working folder, default run/), PERNIX_BUILD_DIR (run the binaries already
# built there, without building first), PERNIX_MQTT_TRACE (publication trace folder, see README
# "Topic contract"; passed on to both programs).
set -euo pipefail
# Folders given by the caller are relative to where they called us from.
RUN_DIR="$(realpath -m "${PERNIX_RUN_DIR:-$(dirname "$0")/../run}")"
BUILD_DIR="$(realpath -m "${PERNIX_BUILD_DIR:-$(dirname "$0")/../build}")"
cd "$(dirname "$0")/.."
[ -n "${PERNIX_BUILD_DIR:-}" ] || tools/build.sh --target pernix pernix-simulator
for binary in pernix tools/simulator/pernix-simulator; do
    [ -x "$BUILD_DIR/$binary" ] || { echo "run.sh: $BUILD_DIR/$binary is missing; build it first" >&2; exit 1; }
done

PORT="${PERNIX_MQTT_PORT:-18830}"
VNC_PORT="${PERNIX_VNC_PORT:-5900}"
WEB_PORT="${PERNIX_WEB_PORT:-6080}"
NOVNC=/usr/share/novnc
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

command -v ss > /dev/null || { echo "run.sh: ss is missing; run tools/setup.sh" >&2; exit 1; }
pids=()
declare -A names
tmp=""
cleanup() {
    trap - INT TERM HUP EXIT
    local pid alive
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    # A few seconds to finish cleanly, then whatever is left is forced: nothing may outlive us.
    for _ in $(seq 50); do
        alive=0
        for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
        [ "$alive" = 0 ] && break
        sleep 0.1
    done
    for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [ -z "$tmp" ] || rm -rf "$tmp"
}
trap cleanup EXIT
trap 'cleanup; exit 130' INT
trap 'cleanup; exit 143' TERM
trap 'cleanup; exit 129' HUP

# wait_until <pid> <log> <command...>: polls the command until it succeeds. If the process dies
# first or takes too long, says why and stops everything (the EXIT trap).
wait_until() {
    local pid=$1 log=$2 deadline=$((SECONDS + 30)) problem
    shift 2
    until "$@"; do
        if ! kill -0 "$pid" 2>/dev/null; then
            problem="could not start"
        elif ((SECONDS >= deadline)); then
            problem="was not ready after 30 s"
        else
            sleep 0.1
            continue
        fi
        echo "run.sh: ${names[$pid]} $problem; stopping everything. The end of $log:" >&2
        tail -n 5 "$log" >&2 || true
        exit 1
    done
}
# listening <pid> <port>: that process itself (not whoever else may hold the port) listens on it.
# (No "ss | grep -q": with pipefail, grep leaving early can fail the pipe.)
listening() { [[ "$(ss -Hltnp "sport = :$2" 2>/dev/null)" == *"pid=$1,"* ]]; }

mosquitto -c "$RUN_DIR/mosquitto.conf" < /dev/null &
pids+=($!) names[$!]="the broker (mosquitto, 127.0.0.1:$PORT)"
wait_until "$!" "$RUN_DIR/mosquitto.log" listening "$!" "$PORT"
echo "Broker: mqtt://127.0.0.1:$PORT (log: $RUN_DIR/mosquitto.log)"

headless=""
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    headless=1
    for tool in Xvfb xauth x11vnc websockify "$NOVNC/vnc.html"; do
        command -v "$tool" > /dev/null || [ -f "$tool" ] ||
            { echo "run.sh: $tool is missing; run tools/setup.sh" >&2; exit 1; }
    done
    tmp="$(mktemp -d "${TMPDIR:-/tmp}/pernix-demo.XXXXXX")"
    # Only the holders of this cookie may use the X server; it has no TCP socket at all.
    export XAUTHORITY="$tmp/Xauthority"
    cookie="$(mcookie)"
    touch "$XAUTHORITY"
    xauth -q add :0 . "$cookie"
    Xvfb -displayfd 3 -auth "$XAUTHORITY" -nolisten tcp -screen 0 480x800x24 \
        3> "$tmp/display" < /dev/null > "$RUN_DIR/xvfb.log" 2>&1 &
    pids+=($!) names[$!]="the X server (Xvfb)"
    # Xvfb picks a free display number and writes it once it accepts clients.
    wait_until "$!" "$RUN_DIR/xvfb.log" grep -q '^[0-9]' "$tmp/display"
    export DISPLAY=":$(cat "$tmp/display")"
    # The server reads any cookie in its file; clients look it up by display number.
    xauth -q add "$DISPLAY" . "$cookie"

    x11vnc -display "$DISPLAY" -localhost -noipv6 -rfbport "$VNC_PORT" -forever -shared -nopw \
        < /dev/null > "$RUN_DIR/x11vnc.log" 2>&1 &
    pids+=($!) names[$!]="the VNC server (x11vnc, 127.0.0.1:$VNC_PORT)"
    wait_until "$!" "$RUN_DIR/x11vnc.log" listening "$!" "$VNC_PORT"

    websockify --web "$NOVNC" "127.0.0.1:$WEB_PORT" "127.0.0.1:$VNC_PORT" \
        < /dev/null > "$RUN_DIR/websockify.log" 2>&1 &
    pids+=($!) names[$!]="the web server (websockify, 127.0.0.1:$WEB_PORT)"
    wait_until "$!" "$RUN_DIR/websockify.log" listening "$!" "$WEB_PORT"
fi

SCENARIO="${PERNIX_SCENARIO:-$PWD/tools/simulator/scenarios/demo.txt}"
"$BUILD_DIR/tools/simulator/pernix-simulator" -H 127.0.0.1 -P "$PORT" -s "$SCENARIO" --loop \
    < /dev/null 2> "$RUN_DIR/simulator.log" &
pids+=($!) names[$!]="the simulator"
echo "Simulator: $SCENARIO, looping (log: $RUN_DIR/simulator.log);" \
     "send commands with: mosquitto_pub -p $PORT -t velt/simulator/command -m 'card valid'"

if [ -n "$headless" ]; then
    cat <<TEXT
No display here: the screen (480 x 800, OpenGL through Mesa) is on X display $DISPLAY
(XAUTHORITY=$XAUTHORITY), served on this machine only:
  Browser:    http://127.0.0.1:$WEB_PORT/vnc.html?autoconnect=1&resize=scale
  VNC viewer: 127.0.0.1:$VNC_PORT
  From another machine, tunnel it and open the same address there:
    ssh -L $WEB_PORT:127.0.0.1:$WEB_PORT <user>@<this machine>
  (logs: $RUN_DIR/xvfb.log, x11vnc.log, websockify.log)
TEXT
fi

cd "$RUN_DIR"
export PERNIX_EVENT_LOG="$RUN_DIR/events.ini"
"$BUILD_DIR/pernix" -e -H 127.0.0.1 -P "$PORT" "$@" < /dev/null &
pids+=($!)
ui=$!

# Runs until the program ends, or until a part of the demo stops under it.
status=0
ended=""
wait -n -p ended "${pids[@]}" || status=$?
if [ "$ended" != "$ui" ]; then
    echo "run.sh: ${names[$ended]:-a part of the demo} stopped (status $status); stopping" >&2
    [ "$status" != 0 ] || status=1
fi
exit "$status"
