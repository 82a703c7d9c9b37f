#!/usr/bin/env bash
# Installs the unit's package into a clean Debian 12 root and boots that root as a container
# (systemd-nspawn, its own network), then checks the service as a unit runs it: it starts at boot,
# connects to the local mosquitto, comes back after "systemctl restart", and is restarted after a
# crash. Run as root; needs the network to Debian's mirror.
#
# Usage: tools/package/install-check.sh [<package.deb> | <build dir>]
#   a build dir: the package is made there first with cpack (default: build/pernix_*.deb).
# Environment: PERNIX_DEBROOT, the clean root made once with debootstrap and reused
# (default build/debroot-bookworm); the container's root is a fresh copy of it every run.
# Exit code 77 (skipped) when not run as root.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
    echo "install-check: skipped: needs root (debootstrap, chroot, systemd-nspawn)"
    exit 77
fi
cd "$(dirname "$0")/../.."
if [ -d "${1:-}" ]; then
    build="$(realpath "$1")"
    rm -rf "$build/install-check"
    cpack -G DEB -B "$build/install-check" --config "$build/CPackConfig.cmake" > /dev/null
    set -- "$(ls -1 "$build"/install-check/pernix_*.deb)"
fi
deb="$(realpath "${1:-$(ls -1 build/pernix_*.deb | tail -1)}")"
base="$(realpath -m "${PERNIX_DEBROOT:-build/debroot-bookworm}")"
work="$base.run"
log="$work.console.log"
export DEBIAN_FRONTEND=noninteractive

step() { printf '\n== %s\n' "$*"; }
fail() { echo "install-check: FAILED: $*" >&2; exit 1; }

for tool in debootstrap systemd-nspawn; do
    command -v "$tool" > /dev/null ||
        apt-get install -y -qq -o DPkg::Lock::Timeout=600 debootstrap systemd-container > /dev/null
done

if [ ! -x "$base/bin/systemctl" ]; then
    step "Making a clean Debian 12 root in $base (debootstrap, minimal, with systemd)"
    rm -rf "$base"
    debootstrap --variant=minbase --include=systemd,systemd-sysv,dbus bookworm "$base" \
        http://deb.debian.org/debian > "$base.debootstrap.log"
fi

step "Installing $(basename "$deb") into a fresh copy of the root (apt: its dependencies from Debian)"
rm -rf "$work"
cp -a "$base" "$work"
cp "$deb" "$work/tmp/"
before=$(chroot "$work" dpkg-query -W | wc -l)
chroot "$work" apt-get update -qq
chroot "$work" apt-get install -y -qq "/tmp/$(basename "$deb")" > "$work.apt.log"
after=$(chroot "$work" dpkg-query -W | wc -l)
echo "installed: pernix and $((after - before - 1)) packages it pulled in ($before before)"
chroot "$work" sh -c 'id pernix && stat -c "%U:%G %a %n" /var/lib/pernix /var/lib/pernix/gui.conf'
chroot "$work" systemctl is-enabled pernix.service

# What the unit's image provides: its serial number. The container has no display: the offscreen
# platform with the software renderer stands in for eglfs.
printf 'C00001234' > "$work/etc/serialnumber"
printf 'QT_QPA_PLATFORM=offscreen\nQT_QUICK_BACKEND=software\nPERNIX_OPTIONS=\n' > "$work/etc/default/pernix"

step "Booting the root (systemd-nspawn -b)"
systemd-nspawn -q --register=no --keep-unit --private-network -D "$work" -b > "$log" 2>&1 &
nspawn=$!
cleanup() {
    [ -z "${init:-}" ] || nsenter -t "$init" -a systemctl poweroff 2> /dev/null || true
    for _ in $(seq 100); do kill -0 "$nspawn" 2> /dev/null || break; sleep 0.1; done
    kill "$nspawn" 2> /dev/null || true
}
trap cleanup EXIT
init=""
for _ in $(seq 300); do
    init=$(pgrep -P "$nspawn" -x systemd || true)
    [ -n "$init" ] && break
    sleep 0.1
done
[ -n "$init" ] || fail "the container did not boot (see $log)"
inside() { nsenter -t "$init" -a "$@"; }

# wait_for <seconds> <description> <command...>: until the command succeeds inside the container.
wait_for() {
    local seconds=$1 what=$2
    shift 2
    for _ in $(seq $((seconds * 5))); do
        inside sh -c "$*" > /dev/null 2>&1 && return 0
        sleep 0.2
    done
    inside journalctl -u pernix --no-pager | tail -20 >&2 || true
    fail "$what"
}
connections() { inside journalctl -u pernix --no-pager -o cat | grep -c "Connected to broker" || true; }
main_pid() { inside systemctl show -p MainPID --value pernix.service; }

wait_for 60 "the system did not finish booting" 'systemctl is-system-running --wait | grep -qE "running|degraded"'
wait_for 60 "the service is not active" 'systemctl is-active pernix.service'
wait_for 60 "the program did not connect to the local broker" \
    'journalctl -u pernix -o cat | grep -q "Connected to broker"'
inside systemctl is-active mosquitto.service
first=$(main_pid)
# Every screen module and plugin the program loads came with the package's dependencies.
if inside journalctl -u pernix -o cat | grep -E "is not installed|Cannot load library|Could not load the Qt platform|XDG_RUNTIME_DIR|runtime directory"; then
    fail "the program is missing something at run time"
fi
echo "service active, connected to the local mosquitto (pid $first, user $(inside ps -o user= -p "$first"))"

step "systemctl restart"
inside systemctl restart pernix.service
wait_for 60 "no new connection after the restart" "[ \$(journalctl -u pernix -o cat | grep -c 'Connected to broker') -ge 2 ]"
second=$(main_pid)
[ "$second" != "$first" ] || fail "the same process after a restart"
echo "restarted: pid $second, connected again ($(connections) connections in the journal)"

step "A crash (SIGSEGV): restarted after the back-off"
inside kill -SEGV "$second"
wait_for 60 "not restarted after a crash" "[ \$(journalctl -u pernix -o cat | grep -c 'Connected to broker') -ge 3 ]"
echo "restarted: pid $(main_pid), restart counter $(inside systemctl show -p NRestarts --value pernix.service)"
inside journalctl -u pernix --no-pager | grep -E "Main process exited|Scheduled restart|Started pernix" | tail -3

step "The fleet bridge: off until configured, then written by the installed generator"
[ ! -e "$work/etc/mosquitto/conf.d/pernix-fleet.conf" ] || fail "a bridge is configured at installation"
mkdir -p "$work/etc/pernix-fleet"
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=install-check CA" \
    -keyout /dev/null -out "$work/etc/pernix-fleet/ca.crt" 2> /dev/null
printf 'install-check-password\n' > "$work/etc/pernix-fleet/password"
inside pernix-fleet-bridge --central central.invalid:8883 --cafile /etc/pernix-fleet/ca.crt \
    --password-file /etc/pernix-fleet/password
inside stat -c "%U:%G %a %n" /etc/mosquitto/conf.d/pernix-fleet.conf
inside systemctl restart mosquitto.service
# The local broker takes the bridge (whose central broker does not exist here) and the program
# is back on it.
wait_for 60 "mosquitto did not start with the bridge" 'systemctl is-active mosquitto.service'
wait_for 60 "the program did not reconnect to the bridged broker" \
    "[ \$(journalctl -u pernix -o cat | grep -c 'Connected to broker') -ge 4 ]"
inside grep -m1 "Connecting bridge" /var/log/mosquitto/mosquitto.log ||
    fail "mosquitto did not start the bridge"

step "The journal of the service (first lines)"
inside journalctl -u pernix --no-pager | sed -n 1,12p
echo
echo "install-check: OK"
