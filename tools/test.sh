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
# Some machines execute no 32-bit programs (their kernel refuses i386 code),
# and 32-bit Wine with them. There the Windows tests run a 64-bit build of
# the same sources under 64-bit Wine; the shipped executable is still checked.
wine_arch=win32
wine_exe=$PWD/build/windows/tarnel.exe
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "this machine runs no 32-bit programs: the Windows tests run a 64-bit tarnel.exe under 64-bit Wine"
    wine_arch=win64
    cmake --preset windows64 >/dev/null
    cmake --build --preset windows64 --parallel "$jobs"
    wine_exe=$PWD/build/windows64/tarnel.exe
fi

step "Linux build and every test, tarnel.exe under Wine included"
cmake --preset native -DTARNEL_WINDOWS_EXE="$PWD/build/windows/tarnel.exe" \
    -DTARNEL_WINEARCH="$wine_arch" -DTARNEL_WINE_RUN_EXE="$wine_exe" >/dev/null
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
