#!/bin/sh
# `cmake --install --strip` puts the stripped tool and the programs for the
# monitoring systems in bin/, the compressed manual pages, the licence, the
# changelog, the examples, the bash completion and the Munin plugin under
# share/, and nothing else.
#   install-check.sh CMAKE READELF BUILD_DIR WORK_DIR MAN_PAGE
set -u
cmake=$1
readelf=$2
build=$3
work=$4
man_page=$5
. "$(dirname "$0")/../support/check.sh"

fresh_dir "$work"
prefix=$work/prefix
# A DESTDIR of the caller would put the tree somewhere else.
env -u DESTDIR "$cmake" --install "$build" --strip --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; echo "FAIL: cmake --install $build"; exit 1; }

files=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
expected="bin/tarnel bin/tarnel-collectd bin/tarnel-prometheus share/bash-completion/completions/tarnel \
share/doc/tarnel/changelog.gz share/doc/tarnel/copyright share/doc/tarnel/examples/tarnel-collectd.conf \
share/doc/tarnel/examples/tarnel-munin.conf share/doc/tarnel/examples/tarnel-prometheus.default \
share/doc/tarnel/examples/tarnel-prometheus.service share/doc/tarnel/examples/tarnel-prometheus.timer \
share/man/man1/tarnel-collectd.1.gz share/man/man1/tarnel-prometheus.1.gz share/man/man1/tarnel.1.gz \
share/munin/plugins/tarnel_ "
[ "$files" = "$expected" ] || fail "installed files must be $expected; found: $files"

if [ -x "$prefix/bin/tarnel" ]; then
    debug=$(debug_sections "$readelf" "$prefix/bin/tarnel")
    [ -z "$debug" ] || fail "bin/tarnel is not stripped: $debug"
    "$prefix/bin/tarnel" >"$work/help.out" 2>"$work/help.err"
    status=$?
    [ "$status" -eq 1 ] || fail "installed tarnel without arguments: exit status $status, expected 1"
    grep -Fxq "Usage: tarnel [options]" "$work/help.out" ||
        fail "installed tarnel prints no help: $(head -n 3 "$work/help.out")"
else
    fail "bin/tarnel is not an executable"
fi
for program in bin/tarnel-collectd bin/tarnel-prometheus share/munin/plugins/tarnel_; do
    [ -x "$prefix/$program" ] || fail "$program is not executable"
done
gzip -dc "$prefix/share/man/man1/tarnel.1.gz" | cmp -s - "$man_page" ||
    fail "share/man/man1/tarnel.1.gz is not $man_page compressed"
grep -q "^License: Expat" "$prefix/share/doc/tarnel/copyright" || fail "share/doc/tarnel/copyright holds no licence"

finish "installed: $files"
