#!/usr/bin/env bash
# Records the seed corpora of the fuzz targets (tests/fuzz/corpus/<target>/) from what the device
# simulator really publishes: a private broker, the simulator, every command of
# seed-commands.txt and every request it answers. The UI's own topics, the configuration file
# and the event log get seeds written here in the program's formats.
# Needs build/ (tools/build.sh --target pernix-simulator). Replaces the recorded seeds.
set -euo pipefail
cd "$(dirname "$0")/../.."
CORPUS=tests/fuzz/corpus
WORK=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$WORK"' EXIT
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')

mosquitto -p "$PORT" >"$WORK/broker.log" 2>&1 &
until mosquitto_pub -p "$PORT" -t ping -n 2>/dev/null; do sleep 0.1; done
# Payloads in hexadecimal: they may hold newlines.
mosquitto_sub -p "$PORT" -v -t '#' -F '%t %x' >"$WORK/capture.txt" &
build/tools/simulator/pernix-simulator -P "$PORT" >"$WORK/simulator.log" 2>&1 &
until grep -q "velt/simulator/command" "$WORK/simulator.log"; do sleep 0.1; done
grep -v '^#' tools/fuzz/seed-commands.txt | while IFS= read -r line; do
    mosquitto_pub -p "$PORT" -t velt/simulator/command -m "$line"
    sleep 0.05
done
for topic in board/status board/display board/power board/audio inspector/audio \
    inspector/stats/cpu inspector/stats/memory inspector/stats/disk network/ethernet/state \
    network/ethernet/config device/clock/ntp/status device/clock/ntp/config device/status; do
    mosquitto_pub -p "$PORT" -t "velt/$topic/get" -n
done
mosquitto_pub -p "$PORT" -t velt/device/software/check -n
mosquitto_pub -p "$PORT" -t velt/device/update/software/install -n
sleep 10 # the install's progress

python3 - "$WORK/capture.txt" "$CORPUS" <<'PY'
import hashlib, os, shutil, sys
capture, corpus = sys.argv[1], sys.argv[2]
# Longest prefix first: the topic's owner.
owners = [("velt/blm/barcode/maintenance/", "maintenance"), ("velt/blm/", "validator"),
          ("velt/rfid/card/", "validator"), ("velt/board/", "board"),
          ("velt/inspector/", "inspector"), ("velt/network/ethernet/", "ethernet"),
          ("velt/network/", "network"), ("velt/device/clock/", "clock"),
          ("velt/device/", "update"), ("velt/barcode/", "barcode"), ("velt/gps/", "gps")]
requests = ("/get", "/set", "/request/1", "/check", "/install", "/play", "/enable", "/disable")
seeds = {}
for line in open(capture):
    topic, _, hexpayload = line.rstrip("\n").partition(" ")
    if topic.endswith(requests) or topic == "ping":
        continue
    owner = next((o for p, o in owners if topic.startswith(p)), None)
    if owner:
        seeds.setdefault(owner, set()).add(topic.encode() + b"\n" + bytes.fromhex(hexpayload))

ui = [b"velt/ui/info/get\n", b"velt/ui/status/get\n", b"velt/ui/config/get\n",
      b'velt/ui/config/set\n{"gui": {"locale": "en_US", "displayOffMin": 5}, '
      b'"log": {"level": 3}}',
      b'velt/ui/config/set\n{"gui": {"shutdownDelaySec": 120, "showErrorDesc": true, '
      b'"screenSaverBg": "#202020", "animSwitchSec": 4}, "mqtt": {"port": 1883}}']
seeds["ui"] = set(ui)
seeds["config"] = {
    b"[gui]\ndeviceId=serialnumber\n",
    b"[gui]\nlocale=en_US\ndisplayOffMin=10\nshutdownDelaySec=30\nshowCursor=false\n"
    b"screenSaverBg=#101010\n\n[log]\nlevel=3\nsyslog=false\n\n"
    b"[mqtt]\nhost=127.0.0.1\nport=18830\nusername=unit\npassword=secret\n\n"
    b"[topics]\nblm=velt/blm\n",
    b'{"gui": {"locale": "el_GR", "displayOffMin": 0}, "mqtt": {"host": "localhost"}}',
}
stamp = b"@DateTime(\\0\\0\\0\\x10\\0\\0\\0\\0\\0\\0%\\x8e\\xc9\\x2\\xb0\\xbd\\xf3\\0)"
seeds["events"] = {
    b"[events]\n1\\category=General\n1\\desc=\n1\\name=Application started\n1\\timestamp="
    + stamp + b"\n2\\category=Board\n2\\desc=\n2\\name=Ignition on\n2\\timestamp=" + stamp
    + b"\nsize=2\n",
    b"[events]\n1\\category=Validator\n1\\desc=OBC link lost\n1\\name=Out of order\n"
    b"1\\timestamp=" + stamp + b"\nsize=1\n",
}
# A value the toolkit decodes through QDataStream, in the configuration too.
seeds["config"].add(b"[gui]\nlocale=en_US\nextra=" + stamp + b"\n")
for owner, items in seeds.items():
    folder = os.path.join(corpus, owner)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for item in items:
        with open(os.path.join(folder, hashlib.sha1(item).hexdigest()), "wb") as f:
            f.write(item)
    print(f"{owner}: {len(items)} seeds")
PY
