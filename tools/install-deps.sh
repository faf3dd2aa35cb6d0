#!/bin/sh
# Installs the Debian packages that building and testing tarnel need.
#   install-deps.sh [demo|native|windows|all]     (default: all)
# demo:    what tools/demo.sh builds with: a compiler and CMake;
# native:  the Linux build, its tests, sanitizers, fuzzing and the Debian
#          package's checks, the monitoring systems that the programs of
#          src/integrations are tested with (their services may start on
#          installing; the tests run daemons of their own beside them), and
#          for the driver test QEMU, busybox-static and a kernel to boot
#          (tools/guest-kernel.sh);
# windows: the i686 mingw-w64 cross toolchain and 32-bit Wine to run its
#          executable (hence the i386 architecture); 64-bit Wine for the
#          machines that run no 32-bit programs (tools/test.sh).
#
# Safe to run again: when everything is already there it returns at once
# without touching apt. Needs root only when something is missing.
set -eu

demo="cmake g++"
native="$demo googletest libgtest-dev libgmock-dev clang libclang-rt-14-dev python3-serial groff-base time
        dpkg-dev lintian prometheus-node-exporter collectd-core munin-node curl shellcheck
        qemu-system-x86 busybox-static cpio kmod"
windows="g++-mingw-w64-i686 mingw-w64 binutils-mingw-w64-i686 wine wine32:i386 wine64"

case "${1:-all}" in
    demo) packages="$demo"; need_i386=no; kernel=no ;;
    native) packages="$native"; need_i386=no; kernel=yes ;;
    windows) packages="$windows"; need_i386=yes; kernel=no ;;
    all) packages="$native $windows"; need_i386=yes; kernel=yes ;;
    *) echo "usage: install-deps.sh [demo|native|windows|all]" >&2; exit 2 ;;
esac

installed() {
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = installed ]
}

missing=""
for p in $packages; do
    installed "$p" || missing="$missing $p"
done

add_i386=no
if [ "$need_i386" = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    add_i386=yes
fi

guest_kernel() {
    if [ "$kernel" = yes ]; then
        "$(dirname "$0")/guest-kernel.sh"
    fi
}

if [ -z "$missing" ] && [ "$add_i386" = no ]; then
    guest_kernel
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing:$missing; run this script as root" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ "$add_i386" = yes ]; then
    dpkg --add-architecture i386
fi
apt-get update -q
# Wine's recommended packages (graphics, sound, fonts) serve no console
# program; without them the install is a fraction of the size.
# shellcheck disable=SC2086  # the list is meant to split into words
apt-get install -y -q --no-install-recommends $missing
# The kernel package needs apt's lists and, unpacked, kmod's depmod.
guest_kernel
