#!/bin/sh
# The Debian package of this build: its name, fields and files, a clean bill
# from lintian but for the one warning the README explains, and its programs
# reading the simulated sensor.
#   deb-check.sh CPACK DPKG_DEB LINTIAN READELF BUILD_DIR WORK_DIR VERSION SENSOR_SIM
set -u
cpack=$1
dpkg_deb=$2
lintian=$3
readelf=$4
build=$5
work=$6
version=$7
sim=$8
. "$(dirname "$0")/../support/check.sh"

fresh_dir "$work"
make_packages "$cpack" "$build" "$work"
arch=$(dpkg --print-architecture)
deb=$work/tarnel_${version}_$arch.deb
[ -f "$deb" ] || { echo "FAIL: no $deb; made: $(ls "$work")"; exit 1; }

field() { "$dpkg_deb" -f "$deb" "$1"; }
[ "$(field Package)" = tarnel ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = utils ] || fail "Section: $(field Section)"
[ "$(field Priority)" = optional ] || fail "Priority: $(field Priority)"
[ "$(field Enhances)" = "collectd-core, munin-node, prometheus-node-exporter" ] || fail "Enhances: $(field Enhances)"
field Maintainer | grep -Eq '^[^<]+ <[^@ ]+@[^> ]+>$' || fail "Maintainer: $(field Maintainer)"
description=$(field Description)
[ "$(printf '%s\n' "$description" | head -n 1)" = "read an environmental sensor on a serial port" ] ||
    fail "Description's synopsis: $(printf '%s\n' "$description" | head -n 1)"
[ "$(printf '%s\n' "$description" | wc -l)" -ge 4 ] || fail "Description has no extended text"

# The programs executable, everything else not.
files=$("$dpkg_deb" -c "$deb" | awk '$1 !~ /^d/ {print $1, $6}' | LC_ALL=C sort -k 2 | tr '\n' ' ')
expected="-rwxr-xr-x ./usr/bin/tarnel -rwxr-xr-x ./usr/bin/tarnel-collectd -rwxr-xr-x ./usr/bin/tarnel-prometheus \
-rw-r--r-- ./usr/share/bash-completion/completions/tarnel -rw-r--r-- ./usr/share/doc/tarnel/changelog.gz \
-rw-r--r-- ./usr/share/doc/tarnel/copyright -rw-r--r-- ./usr/share/doc/tarnel/examples/tarnel-collectd.conf \
-rw-r--r-- ./usr/share/doc/tarnel/examples/tarnel-munin.conf \
-rw-r--r-- ./usr/share/doc/tarnel/examples/tarnel-prometheus.default \
-rw-r--r-- ./usr/share/doc/tarnel/examples/tarnel-prometheus.service \
-rw-r--r-- ./usr/share/doc/tarnel/examples/tarnel-prometheus.timer \
-rw-r--r-- ./usr/share/man/man1/tarnel-collectd.1.gz -rw-r--r-- ./usr/share/man/man1/tarnel-prometheus.1.gz \
-rw-r--r-- ./usr/share/man/man1/tarnel.1.gz -rwxr-xr-x ./usr/share/munin/plugins/tarnel_ "
[ "$files" = "$expected" ] || fail "files: $files; expected $expected"

root=$work/root
"$dpkg_deb" -x "$deb" "$root" || fail "cannot unpack $deb"
tool=$root/usr/bin/tarnel
sections=$(debug_sections "$readelf" "$tool")
[ -z "$sections" ] || fail "usr/bin/tarnel is not stripped: $sections"
# Depends follow the binary: a static one needs nothing.
if "$readelf" -d "$tool" 2>/dev/null | grep -q '(NEEDED)'; then
    [ -n "$(field Depends)" ] || fail "a dynamically linked tarnel and no Depends"
else
    [ -z "$(field Depends)" ] || fail "a static tarnel and Depends: $(field Depends)"
fi
gzip -t "$root/usr/share/man/man1/tarnel.1.gz" || fail "the manual page is not gzip"
grep -q '^License: Expat' "$root/usr/share/doc/tarnel/copyright" || fail "copyright holds no licence"
gzip -dc "$root/usr/share/doc/tarnel/changelog.gz" | head -n 1 | grep -Fq "tarnel ($version)" ||
    fail "the changelog's first entry is not $version"

# lintian takes a static PIE for a shared library without dependencies; that
# is the one warning left. Every other tag fails, info and pedantic ones too.
"$lintian" --info --display-info --pedantic "$deb" >"$work/lintian.out" 2>"$work/lintian.err"
tags=$(grep -E '^[EWIPX]: ' "$work/lintian.out" | grep -v '^W: tarnel: shared-library-lacks-prerequisites \[usr/bin/tarnel\]$')
[ -z "$tags" ] || fail "lintian: $tags"
grep -v 'running with root privileges' "$work/lintian.err" | grep -q . && fail "lintian: $(cat "$work/lintian.err")"

# The packaged program reads the simulated sensor.
if start_sensor "$sim" "$work/sim"; then
    out=$("$tool" -d "$sensor_terminal" -a -j)
    status=$?
    [ "$status" -eq 0 ] || fail "packaged tarnel -d $sensor_terminal -a -j: exit status $status"
    [ "$out" = '{ "temperature": 23.4, "humidity": 45.6, "pressure": 1013.2, "name": "AB-1" }' ] ||
        fail "packaged tarnel -d $sensor_terminal -a -j printed: $out"
    # The packaged programs for the monitoring systems find the packaged tool.
    mkdir "$work/textfile" && PATH=$root/usr/bin:$PATH "$root/usr/bin/tarnel-prometheus" -o "$work/textfile" "$sensor_terminal"
    grep -Fqx "tarnel_temperature_celsius{device=\"$sensor_terminal\"} 23.4" "$work/textfile"/*.prom ||
        fail "packaged tarnel-prometheus wrote: $(cat "$work/textfile"/*)"
fi
kill "$sensor_pid" 2>/dev/null
wait "$sensor_pid" 2>/dev/null

finish "$(basename "$deb"): $files"
