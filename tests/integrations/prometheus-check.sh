#!/bin/sh
# tarnel-prometheus writes for Debian's node exporter, which serves it over
# HTTP: a sensor's readings, name and device, a silent sensor as tarnel_up 0
# without samples, and between them infinite readings, a missing humidity and
# a name that needs escaping and is not UTF-8. Every file parses, and a run
# on a device that is gone replaces what its last run wrote.
#   prometheus-check.sh PROGRAMS_DIR TOOL SENSOR_SIM NODE_EXPORTER CURL
. "$(dirname "$0")/common.sh"
exporter=$1
curl=$2

sensor
prompt=$sensor_terminal
prompt_pid=$sensor_pid
# shellcheck disable=SC2086  # the options split into words
sensor $silent
quiet=$sensor_terminal
# say "hi" \o/ caf<e9>: a quote and a backslash to escape, a Latin-1 byte.
sensor --temperature=-inf --silent=GH --pressure=inf --reply=GN:7361792022686922205c6f2f20636166e90d0a
odd=$sensor_terminal

textfiles=$work/textfile
mkdir "$textfiles" || exit 1
# On a free port: another one when the one drawn is taken.
ready() {
    "$curl" -sf -o /dev/null "http://127.0.0.1:$candidate/metrics" || ! kill -0 "$exporter_pid" 2>/dev/null
}
port=
for _ in 1 2 3 4 5 6 7 8 9 10; do
    candidate=$((30000 + $(od -An -N2 -tu2 /dev/urandom) % 30000))
    daemon "$work/exporter.log" "$exporter" --web.listen-address="127.0.0.1:$candidate" \
        --collector.disable-defaults --collector.textfile --collector.textfile.directory="$textfiles" \
        --web.disable-exporter-metrics
    exporter_pid=$daemon_pid
    wait_until 20 ready
    if kill -0 "$exporter_pid" 2>/dev/null; then
        port=$candidate
        break
    fi
    wait "$exporter_pid" 2>/dev/null
    grep -q 'address already in use' "$work/exporter.log" || break
done
[ -n "$port" ] || { echo "FAIL: the node exporter did not start: $(cat "$work/exporter.log")"; exit 1; }

scrape() {
    "$curl" -sf "http://127.0.0.1:$port/metrics" >"$work/metrics" || fail "no scrape: $(cat "$work/exporter.log")"
    grep -qx 'node_textfile_scrape_error 0' "$work/metrics" ||
        fail "the node exporter rejects a file: $(grep -i error "$work/exporter.log")"
    grep '^tarnel_' "$work/metrics"
}

# A caller's umask of 077 must not hide the files from the node exporter's own user.
(umask 077 && PATH=$path tarnel-prometheus -o "$textfiles" "$prompt" "$quiet" "$odd")
status=$?
[ "$status" -eq 0 ] || fail "tarnel-prometheus: exit status $status"

name() { printf 'tarnel_%s.prom' "$(printf '%s' "${1#/dev/}" | tr / _)"; }
files=$(cd "$textfiles" && ls -A | sort | tr '\n' ' ')
expected=$(printf '%s\n' "$(name "$prompt")" "$(name "$quiet")" "$(name "$odd")" | sort | tr '\n' ' ')
[ "$files" = "$expected" ] || fail "files $files; expected $expected (one a device, no temporary ones)"
for file in "$textfiles"/*.prom; do
    mode=$(stat -c %a "$file")
    [ "$mode" = 644 ] || fail "$file has the mode $mode"
done

have=$(scrape)
want="tarnel_up{device=\"$prompt\"} 1
tarnel_temperature_celsius{device=\"$prompt\"} 23.4
tarnel_humidity_percent{device=\"$prompt\"} 45.6
tarnel_pressure_hectopascals{device=\"$prompt\"} 1013.2
tarnel_sensor_info{device=\"$prompt\",name=\"AB-1\"} 1
tarnel_up{device=\"$quiet\"} 0
tarnel_up{device=\"$odd\"} 1
tarnel_temperature_celsius{device=\"$odd\"} -Inf
tarnel_pressure_hectopascals{device=\"$odd\"} +Inf
tarnel_sensor_info{device=\"$odd\",name=\"say \\\"hi\\\" \\\\o/ café\"} 1"
difference=$(line_difference "$have" "$want")
[ -z "$difference" ] || fail "scraped samples differ (left: scraped only, right: expected only):
$difference"

# The sensor is gone: its readings must not linger.
stop "$prompt_pid"
PATH=$path tarnel-prometheus -o "$textfiles" "$prompt"
status=$?
[ "$status" -eq 0 ] || fail "tarnel-prometheus on a device that is gone: exit status $status"
have=$(scrape | grep -F "device=\"$prompt\"")
[ "$have" = "tarnel_up{device=\"$prompt\"} 0" ] || fail "after the sensor is gone, scraped: $have"

finish "node exporter on 127.0.0.1:$port served the readings of $prompt, $quiet (silent) and $odd"
