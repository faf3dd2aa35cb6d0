#!/bin/busybox sh
# shellcheck shell=dash
# The first and only process of the driver test's guest. Loads the drivers,
# waits for their devices, says "@@ready" on the console and then runs the
# cases the host sends, one line each:
#   ID <tab> - or + and the gadget sensor's options <tab> SHELL LINE
# For each it answers
#   @@begin ID / the line's output / @@status ID STATUS / @@notes ID /
#   the helper's notes / @@sensor ID / the gadget sensor's log / @@end ID
# A line "quit" powers the guest off; so does the end of the console.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp
# Kernel messages would land between the results.
echo 1 >/proc/sys/kernel/printk
stty -echo -opost </dev/console

say() { echo "@@ $*"; }

while read -r module; do
    insmod "/lib/modules/$module" || say "cannot load $module"
done </etc/modules.order

for _ in $(seq 200); do
    [ -e /dev/ttyUSB0 ] && [ -e /dev/ttyACM0 ] && [ -e /dev/ttyGS0 ] && break
    usleep 50000
done
for node in /dev/ttyS1 /dev/ttyUSB0 /dev/ttyACM0 /dev/ttyGS0; do
    [ -e "$node" ] || say "missing $node"
done

gadget_sensor=""
start_gadget_sensor() {
    rm -f /tmp/gadget.log /tmp/gadget.path
    # shellcheck disable=SC2086  # the options are meant to split into words
    sensor-sim --terminal=/dev/ttyGS0 --start-line=115200,8N1 --log=/tmp/gadget.log $1 >/tmp/gadget.path &
    gadget_sensor=$!
    for _ in $(seq 400); do
        [ -s /tmp/gadget.path ] && return 0
        kill -0 "$gadget_sensor" 2>/dev/null || break
        usleep 5000
    done
    echo "the gadget's sensor did not start"
}

stop_gadget_sensor() {
    [ -n "$gadget_sensor" ] || return 0
    kill "$gadget_sensor" 2>/dev/null
    wait "$gadget_sensor" 2>/dev/null
    gadget_sensor=""
}

say ready
while IFS='	' read -r id gadget line; do
    [ "$id" = quit ] && break
    : >/tmp/notes
    : >/tmp/setup
    [ "$gadget" = - ] || start_gadget_sensor "${gadget#+}" >/tmp/setup
    # 60 s a line, as the host allows (driver_test.cpp).
    GUEST_NOTES=/tmp/notes guest-helper limit 60000 sh -c "$line" </dev/null >/tmp/out 2>&1
    status=$?
    stop_gadget_sensor
    echo "@@begin $id"
    cat /tmp/setup /tmp/out
    echo
    echo "@@status $id $status"
    echo "@@notes $id"
    cat /tmp/notes
    echo "@@sensor $id"
    [ "$gadget" = - ] || cat /tmp/gadget.log 2>/dev/null
    echo "@@end $id"
done
say powering off
poweroff -f
