#!/usr/bin/env bash
# Builds and runs every test: the Linux build's suite with the Windows
# executable's suite under Wine, the same suite under the sanitizers, and a
# short run of every fuzz target. Fails on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
step() { printf '\n==== %s\n' "$*"; }

step "dependencies"
tools/install-deps.sh all

step "Windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows --parallel "$jobs"

step "Linux build and every test, tarnel.exe under Wine included"
cmake --preset native -DTARNEL_WINDOWS_EXE="$PWD/build/windows/tarnel.exe" >/dev/null
cmake --build --preset native --parallel "$jobs"
ctest --preset native
ctest --preset native-timing

step "the suite under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize --parallel "$jobs"
ctest --preset sanitize
ctest --preset sanitize-timing

step "fuzzing, 20 s a target"
tests/fuzz/run-fuzzers.sh 20
