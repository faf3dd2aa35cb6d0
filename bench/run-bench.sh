#!/usr/bin/env bash
# Builds an optimised tree and runs the benchmark against the simulated sensor.
#   bench/run-bench.sh [bench.py options, e.g. --explain]
# The build goes to build/bench, or to $TARNEL_BENCH_BUILD. Exit status: 0
# when every target is met, 1 when one is missed, 2 when it could not run.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh native

build=${TARNEL_BENCH_BUILD:-build/bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARNEL_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target tarnel sensor-sim >/dev/null

exec /usr/bin/python3 bench/bench.py --build-dir "$build" "$@"
