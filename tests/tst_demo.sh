#!/usr/bin/env bash
# The headless demo (tools/run.sh without a display), from outside: everything it starts listens on
# 127.0.0.1 only; the browser page, the VNC stream and the WebSocket bridge answer and show the UI;
# a signal stops it all, even with a viewer connected; a port already taken stops it with the
# reason. Runs the binaries already built in PERNIX_BUILD_DIR.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
: "${PERNIX_BUILD_DIR:?the build folder holding pernix and pernix-simulator}"
probe() { python3 "$here/demo_probe.py" "$@"; }

work="$(mktemp -d "${TMPDIR:-/tmp}/tst_demo.XXXXXX")"
demo=""      # run.sh under test; its own session, so everything it starts can be found
helpers=()   # our own probes that outlive one command
cleanup() {
    # After a failure: run.sh first, so that it removes its own files, then anything left.
    if [ -n "$demo" ]; then
        kill -TERM "$demo" 2>/dev/null || true
        until_true 15 ended || true
        kill -KILL -- -"$demo" 2>/dev/null || true
    fi
    for pid in "${helpers[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

row=""
fail() {
    echo "FAIL [$row]: $*" >&2
    if [ -f "$work/$row.out" ]; then
        echo "--- tools/run.sh said:" >&2
        tail -n 30 "$work/$row.out" >&2
    fi
    exit 1
}
pass() { echo "PASS [$row]: $*"; }

# until_true <seconds> <command...>: polls, never sleeps a fixed time for the thing to happen.
until_true() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}

# start_demo <mqtt> <vnc> <web>: run.sh as a developer's Ctrl-C would reach it (bash gives
# background commands SIGINT ignored; env restores it), in a fresh session, with its own run/.
start_demo() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        PERNIX_RUN_DIR="$work/$row/run" PERNIX_BUILD_DIR="$PERNIX_BUILD_DIR" \
        PERNIX_MQTT_PORT="$1" PERNIX_VNC_PORT="$2" PERNIX_WEB_PORT="$3" \
        setsid env --default-signal=INT "$root/tools/run.sh" > "$work/$row.out" 2>&1 < /dev/null &
    demo=$!
}
in_session() { pgrep -s "$demo" || true; }
ended() { ! kill -0 "$demo" 2>/dev/null; }
session_empty() { [ -z "$(in_session)" ]; }
said() { grep -q -- "$1" "$work/$row.out"; }

# After run.sh has gone, nothing it started may remain.
expect_all_gone() {
    until_true 30 session_empty ||
        fail "left behind: $(in_session | xargs -r ps -o pid=,args= -p)"
    local xauth
    xauth="$(sed -n 's/^(XAUTHORITY=\(.*\)), served.*/\1/p' "$work/$row.out")"
    [ -z "$xauth" ] || [ ! -e "$xauth" ] || fail "left behind: $xauth"
}

# Rows: how the demo is stopped; the exit status run.sh must give ("-": any failure, as when the
# whole group hears Ctrl-C, where which part notices first decides).
while read -r row target signal status; do
    read -r mqtt vnc web < <(probe freeports 3)
    start_demo "$mqtt" "$vnc" "$web"
    until_true 120 said "VNC viewer: 127.0.0.1:$vnc" || ended ||
        fail "no VNC address printed"
    ended && fail "run.sh ended on its own"

    url="$(grep -o 'http://[^ ]*vnc.html[^ ]*' "$work/$row.out")" || fail "no browser address printed"
    [[ "$url" == "http://127.0.0.1:$web/"* ]] || fail "browser address $url"
    probe page "$url" || fail "the noVNC page"
    greeting="$(probe rfb "$vnc")" || fail "VNC on $vnc"
    [[ "$greeting" == *" 480x800" ]] || fail "screen size: $greeting"
    probe ws "$web" || fail "VNC through the WebSocket bridge on $web"
    probe rendered "$vnc" || fail "the UI on the screen"

    # Only now that the UI draws has every process opened what it will listen on.
    listening="$(in_session | xargs -r python3 "$here/demo_probe.py" listeners)"
    for port in "$mqtt" "$vnc" "$web"; do
        grep -qx "tcp 127.0.0.1:$port" <<< "$listening" || fail "nothing on 127.0.0.1:$port: $listening"
    done
    others="$(grep -v '^tcp 127\.0\.0\.1:' <<< "$listening" || true)"
    [ -z "$others" ] || fail "listening beyond 127.0.0.1: $others"
    pass "on 127.0.0.1 only: $(tr '\n' ' ' <<< "$listening")"

    # A viewer stays connected while we stop: whatever serves it must stop too.
    python3 "$here/demo_probe.py" viewer "$web" > "$work/$row.viewer" &
    helpers+=($!)
    until_true 30 grep -q connected "$work/$row.viewer" || fail "the viewer did not connect"

    if [ "$target" = group ]; then kill -"$signal" -- -"$demo"; else kill -"$signal" "$demo"; fi
    until_true 60 ended || fail "still running 60 s after SIG$signal"
    code=0
    wait "$demo" || code=$?
    [ "$code" = "$status" ] || { [ "$status" = - ] && [ "$code" != 0 ]; } ||
        fail "exit status $code after SIG$signal"
    expect_all_gone
    demo=""
    pass "SIG$signal to the $target stopped everything (status $code)"
done <<'ROWS'
int-to-script   script INT  130
ctrl-c          group  INT  -
term-to-script  script TERM 143
ROWS

# Rows: which server finds its port already taken by someone else. It must be noticed (not
# mistaken for ours), said, and everything stopped, leaving the other holder alone.
while read -r row taken; do
    python3 "$here/demo_probe.py" occupy > "$work/$row.port" &
    holder=$!
    helpers+=("$holder")
    until_true 30 grep -q . "$work/$row.port" || fail "could not take a port"
    busy="$(cat "$work/$row.port")"
    read -r mqtt vnc web < <(probe freeports 3)
    case "$taken" in
        mqtt) mqtt=$busy ;;
        vnc) vnc=$busy ;;
        web) web=$busy ;;
    esac
    start_demo "$mqtt" "$vnc" "$web"
    until_true 120 ended || fail "still running with 127.0.0.1:$busy taken"
    code=0
    wait "$demo" || code=$?
    [ "$code" != 0 ] || fail "exit status 0 with 127.0.0.1:$busy taken"
    reason="$(grep -m1 'could not start' "$work/$row.out" || true)"
    [[ "$reason" == *"127.0.0.1:$busy"* ]] || fail "no reason given for 127.0.0.1:$busy"
    said "VNC viewer:" && fail "announced a screen that is not served"
    expect_all_gone
    demo=""
    kill -0 "$holder" 2>/dev/null || fail "the other holder of the port was stopped"
    pass "$taken port taken: $reason"
done <<'ROWS'
mqtt-taken  mqtt
vnc-taken   vnc
web-taken   web
ROWS
