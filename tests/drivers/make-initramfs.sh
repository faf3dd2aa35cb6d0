#!/bin/sh
# The driver test's initramfs: busybox, the project's static programs, the
# guest's scripts, and the serial drivers' modules with everything they need,
# in the order they load.
#   make-initramfs.sh KERNEL-TREE OUT TARNEL SENSOR-SIM GUEST-HELPER UART-TESTS
# KERNEL-TREE is an unpacked kernel package (tools/guest-kernel.sh --path).
set -eu

if [ $# -ne 6 ]; then
    echo "usage: make-initramfs.sh KERNEL-TREE OUT TARNEL SENSOR-SIM GUEST-HELPER UART-TESTS" >&2
    exit 2
fi
tree=$1 out=$2
here=$(dirname "$0")

release=$(ls "$tree/lib/modules")
busybox=/bin/busybox
if readelf -l "$busybox" | grep -q 'Requesting program interpreter'; then
    echo "make-initramfs: $busybox is not static; install busybox-static" >&2
    exit 1
fi
for program in "$3" "$4" "$5" "$6"; do
    if readelf -l "$program" | grep -q 'Requesting program interpreter'; then
        echo "make-initramfs: $program is not static" >&2
        exit 1
    fi
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/bin" "$root/dev" "$root/proc" "$root/sys" "$root/tmp" "$root/etc" "$root/lib/modules"
cp "$busybox" "$root/bin/busybox"
# Debugging information only makes the image larger.
strip -o "$root/bin/tarnel" "$3"
strip -o "$root/bin/sensor-sim" "$4"
strip -o "$root/bin/guest-helper" "$5"
strip -o "$root/bin/uart_tests" "$6"
cp "$here/guest/init.sh" "$root/init"
cp "$here/guest/unplug-gadget-during-reply.sh" "$root/bin/unplug-gadget-during-reply"
chmod 755 "$root/init" "$root/bin/"*

# The 8250 driver is built in. The ACM function is loaded before the gadget
# that asks for it, as the guest has no modprobe to find it by name.
for module in xhci_pci ftdi_sio cdc_acm dummy_hcd usb_f_acm g_serial; do
    modprobe -d "$tree" -S "$release" --show-depends "$module"
done | awk '$1 == "insmod" && !seen[$2]++ { print $2 }' | while read -r file; do
    cp "$file" "$root/lib/modules/"
    basename "$file" >>"$root/etc/modules.order"
done

(cd "$root" && find . | LC_ALL=C sort | cpio -o -H newc --quiet) >"$out.new"
mv "$out.new" "$out"
