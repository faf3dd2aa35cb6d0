#!/bin/sh
# collectd runs tarnel-collectd with its exec plugin, as an unprivileged user
# in the group dialout, and its csv plugin stores what arrives: a sensor's
# readings at every interval, a silent sensor's as missing (nan), and from a
# sensor between them infinite readings and a missing humidity. One program
# reads the three in turn, so that only one exchange runs at a time, as in
# the end-to-end tests.
#   collectd-check.sh PROGRAMS_DIR TOOL SENSOR_SIM COLLECTD
. "$(dirname "$0")/common.sh"
collectd=$1

sensor
prompt=$sensor_terminal
# shellcheck disable=SC2086  # the options split into words
sensor $silent
quiet=$sensor_terminal
sensor --temperature=-inf --silent=GH --pressure=inf
odd=$sensor_terminal

csv=$work/csv
mkdir "$work/base" "$csv" || exit 1
cat >"$work/collectd.conf" <<END
Hostname "tarnel-check"
FQDNLookup false
BaseDir "$work/base"
PIDFile "$work/collectd.pid"
PluginDir "/usr/lib/collectd"
TypesDB "/usr/share/collectd/types.db"
AutoLoadPlugin false
Interval 1
LoadPlugin logfile
<Plugin logfile>
  LogLevel info
  File "$work/collectd.log"
</Plugin>
LoadPlugin exec
<Plugin exec>
  Exec "$user:$group" "$work/bin/tarnel-collectd" "$prompt" "$quiet" "$odd"
</Plugin>
LoadPlugin csv
<Plugin csv>
  DataDir "$csv"
  StoreRates false
</Plugin>
END

# The rows of values that arrived for DEVICE and TYPE, one value a line.
rows() {
    instance=$(printf '%s' "${1#/dev/}" | tr / _)
    cat "$csv/tarnel-check/tarnel-$instance/$2"-* 2>/dev/null | grep -v '^epoch,value$' | cut -d, -f2
}
# At least COUNT rows have arrived for every type of DEVICE.
arrived() {
    for type in temperature humidity pressure; do
        [ "$(rows "$1" "$type" | wc -l)" -ge "$2" ] || return 1
    done
}
# Two intervals' worth from the sensors that answer, one from the silent one
# (a run on a silent sensor takes seconds).
landed() { arrived "$prompt" 2 && arrived "$odd" 2 && arrived "$quiet" 1; }

# collectd finds the tool through its own PATH.
daemon "$work/collectd.out" env PATH="$path" "$collectd" -f -C "$work/collectd.conf"
collectd_pid=$daemon_pid
wait_until 60 landed || fail "not every value arrived within 60 s: $(find "$csv" -type f | tr '\n' ' ')"
# The program writes nothing to standard error, which collectd logs as errors.
errors=$(grep -i 'error' "$work/collectd.log")
stop "$collectd_pid"
[ -z "$errors" ] || fail "collectd logs: $errors"

# Every row of a type holds the one value expected: a reading is never
# replaced by another, and a missing one is never 0.
check() {
    values=$(rows "$1" "$2" | sort -u | tr '\n' ' ')
    [ "$values" = "$3 " ] || fail "$2 of $1: rows hold $values; expected $3"
}
check "$prompt" temperature 23.400000
check "$prompt" humidity 45.600000
check "$prompt" pressure 1013.200000
for type in temperature humidity pressure; do
    check "$quiet" "$type" nan
done
check "$odd" temperature -inf
check "$odd" humidity nan
check "$odd" pressure inf

finish "collectd stored the readings of $prompt, $quiet (silent) and $odd"
