#!/bin/sh
# Brings in the kernel that the driver test boots in QEMU: the image and the
# modules of the package that linux-image-amd64 depends on, downloaded and
# unpacked into a cache of our own, never installed. The host's own kernel
# plays no part.
#   guest-kernel.sh           fetch and unpack unless already there
#   guest-kernel.sh --path    print the unpacked tree (boot/, lib/modules/)
#
# The cache is TARNEL_GUEST_KERNEL_CACHE, /var/cache/tarnel/guest-kernel by
# default; "current" in it names the tree in use. Safe to run again: with a
# tree in place it returns at once without touching apt.
set -eu

cache=${TARNEL_GUEST_KERNEL_CACHE:-/var/cache/tarnel/guest-kernel}

if [ "${1:-}" = --path ]; then
    echo "$cache/current"
    exit 0
fi

if [ -e "$cache/current/.complete" ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "guest-kernel: no kernel in $cache; run this script as root" >&2
    exit 1
fi

kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*\)$/\1/p' | head -n 1
}

mkdir -p "$cache"
work=$(mktemp -d "$cache/.download.XXXXXX")
# apt-get download writes as the user _apt where that user may.
chown _apt "$work" 2>/dev/null || true
trap 'rm -rf "$work"' EXIT

# The package lists may be missing or name a version that is gone: one
# update, then a second try.
package=$(kernel_package)
if [ -z "$package" ] || ! (cd "$work" && apt-get download -q "$package"); then
    apt-get update -q
    package=$(kernel_package)
    if [ -z "$package" ]; then
        echo "guest-kernel: linux-image-amd64 names no kernel package" >&2
        exit 1
    fi
    (cd "$work" && apt-get download -q "$package")
fi

tree="$work/$package"
dpkg -x "$work"/"$package"_*.deb "$tree"
release=$(ls "$tree/lib/modules")
# The package leaves the module index to its install script.
depmod -b "$tree" "$release"
touch "$tree/.complete"

rm -rf "${cache:?}/$package"
mv "$tree" "$cache/$package"
ln -sfn "$package" "$cache/current.new"
mv -T "$cache/current.new" "$cache/current"
# Only the tree in use is kept: each is some 400 MB.
for old in "$cache"/linux-image-*; do
    [ "$old" = "$cache/$package" ] || rm -rf "$old"
done
echo "guest-kernel: $package ($release) in $cache/$package"
