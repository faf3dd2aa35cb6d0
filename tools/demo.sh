#!/usr/bin/env bash
# Builds tarnel and the simulated sensor, nothing else, and reads the sensor
# with tarnel as a first-time user would: the default reading, every reading
# as plain lines and as JSON, and one verbose run.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh demo

echo "==== building tarnel and the simulated sensor in build/demo"
cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Release -DTARNEL_TESTS=OFF
cmake --build build/demo --parallel "$(nproc)" --target tarnel sensor-sim
echo

# The simulated sensor answers on a pseudo-terminal, paced like a serial
# line; tarnel opens it by its path, as it would open /dev/ttyUSB0.
coproc SIM { exec build/demo/sensor-sim --temperature=-5.-40 --name="Garden sensor"; }
trap 'kill "$SIM_PID" 2>/dev/null || true' EXIT
read -r pty <&"${SIM[0]}"
echo "==== the simulated sensor is $pty"
echo

run() {
    echo "\$ tarnel $*"
    build/demo/tarnel "$@" || echo "(exit status $?)"
    echo
}
echo "# Without -t, -h, -p, -n or -a tarnel reads the pressure alone: its default reading."
run -d "$pty"
run -d "$pty" -a
run -d "$pty" -a -j
run -v -d "$pty" -t -j
