#!/usr/bin/env bash
# Builds tarnel and reads the simulated sensor with it, as a first-time user
# would: the default reading, then everything as plain lines and as JSON.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native >/dev/null

# The simulated sensor answers on a pseudo-terminal; its path is COM3 for
# the tool, as TARNEL_COM3=/dev/ttyUSB0 would map a real adapter.
coproc SIM { exec build/native/sensor-sim --temperature=-5.-40 --name="Garden sensor"; }
trap 'kill "$SIM_PID" 2>/dev/null || true' EXIT
read -r pty <&"${SIM[0]}"
export TARNEL_COM3="$pty"

run() {
    echo "\$ tarnel $*"
    build/native/tarnel "$@" || echo "(exit status $?)"
    echo
}
run -d COM3
run -d COM3 -a
run -d COM3 -a -j
run -d COM3 -t -j -v
