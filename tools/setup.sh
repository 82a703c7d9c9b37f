#!/usr/bin/env bash
# Installs every Debian 12 package that the build, the tests and the product need.
# Idempotent: when everything is present it does nothing (and needs no network).
set -euo pipefail

PACKAGES=(
  # build
  cmake g++ make pkg-config clang-format
  qtbase5-dev qtdeclarative5-dev qtdeclarative5-dev-tools qtquickcontrols2-5-dev
  libqt5svg5-dev qttools5-dev qttools5-dev-tools
  libmosquitto-dev libqrcodegencpp-dev
  # the Debian package (cpack's dependency list, its test's checks)
  dpkg-dev file binutils systemd
  # the fuzz targets: clang with libFuzzer and the sanitizers' runtimes
  clang libclang-rt-14-dev
  # QML modules the screens use
  qml-module-qtquick2 qml-module-qtquick-window2 qml-module-qtquick-controls2
  qml-module-qtquick-templates2 qml-module-qtquick-controls qml-module-qtquick-layouts
  qml-module-qtquick-extras qml-module-qtqml-models2 qml-module-qtgraphicaleffects
  qml-module-qtquick-virtualkeyboard qtvirtualkeyboard-plugin qml-module-qt-labs-folderlistmodel
  qml-module-qttest
  # runtime: broker, fonts, display for tests and headless runs; without a display the screen
  # goes to a browser or VNC viewer (ss tells when each server listens)
  mosquitto mosquitto-clients fonts-dejavu-core fonts-roboto
  xvfb xauth libgl1-mesa-dri
  # pointer events from outside the program, in the end-to-end tests; QR codes read back
  xdotool zbar-tools
  x11vnc novnc websockify iproute2
  # the headless demo's test looks at processes (pgrep, ps) and speaks VNC and HTTP (python3)
  procps python3
  # the topic contract check (tools/contract/check.py)
  python3-jsonschema python3-yaml
  # the fleet test makes its certificates; the fleet benchmark's units and operator
  openssl python3-paho-mqtt
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
