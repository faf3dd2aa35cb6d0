#!/bin/sh
# munin-run runs the plugin tarnel_ as munin-node would, under an
# unprivileged user in the group dialout: its three graphs, a sensor's
# readings, a silent sensor's as U within the plugin's time-out, U for an
# infinite and a missing reading beside a real one, and, when the check may
# link a device under /dev, the device taken from the link's name.
#   munin-check.sh PROGRAMS_DIR TOOL SENSOR_SIM MUNIN_RUN
. "$(dirname "$0")/common.sh"
munin_run=$1

sensor
prompt=$sensor_terminal
# shellcheck disable=SC2086  # the options split into words
sensor $silent
quiet=$sensor_terminal
sensor --temperature=inf --silent=GH
odd=$sensor_terminal

plugins=$work/plugins
mkdir "$plugins" || exit 1
for service in tarnel_prompt tarnel_quiet tarnel_odd; do
    ln -s "$work/bin/tarnel_" "$plugins/$service" || exit 1
done
# munin-node's usual time-out for a plugin: a silent sensor is given up well before.
cat >"$work/plugins.conf" <<END
[tarnel_*]
env.PATH $path
timeout 10
END
if [ "$(id -u)" -eq 0 ]; then
    printf 'user %s\ngroup %s\n' "$user" "$group" >>"$work/plugins.conf"
fi
cat >>"$work/plugins.conf" <<END

[tarnel_prompt]
env.device $prompt

[tarnel_quiet]
env.device $quiet

[tarnel_odd]
env.device $odd
END
printf 'log_level 4\n' >"$work/munin-node.conf"

# munin-run SERVICE [ARGUMENT]: its output, and a failure when it fails.
run() {
    # Not through the systemd unit of munin-node: its private /tmp would hide
    # this check's folder.
    "$munin_run" --config "$work/munin-node.conf" --servicedir "$plugins" --sconffile "$work/plugins.conf" \
        --ignore-systemd-properties "$@" 2>"$work/munin-run.err"
    status=$?
    [ "$status" -eq 0 ] || fail "munin-run $*: exit status $status: $(cat "$work/munin-run.err")"
}

# fetched SERVICE TEMPERATURE HUMIDITY PRESSURE: what a fetch must print.
fetched() {
    printf 'multigraph %s_temperature\ntemperature.value %s\n' "$1" "$2"
    printf 'multigraph %s_humidity\nhumidity.value %s\n' "$1" "$3"
    printf 'multigraph %s_pressure\npressure.value %s\n' "$1" "$4"
}
expect() {
    [ "$2" = "$3" ] || fail "munin-run $1 printed:
$2
expected:
$3"
}

have=$(run tarnel_prompt config)
want="multigraph tarnel_prompt_temperature
graph_title Temperature on $prompt
graph_vlabel degrees Celsius
graph_category sensors
graph_args --base 1000
graph_scale no
temperature.label temperature
multigraph tarnel_prompt_humidity
graph_title Relative humidity on $prompt
graph_vlabel percent
graph_category sensors
graph_args --base 1000
graph_scale no
humidity.label humidity
multigraph tarnel_prompt_pressure
graph_title Air pressure on $prompt
graph_vlabel hectopascals
graph_category sensors
graph_args --base 1000
graph_scale no
pressure.label pressure"
expect "tarnel_prompt config" "$have" "$want"
expect tarnel_prompt "$(run tarnel_prompt)" "$(fetched tarnel_prompt 23.4 45.6 1013.2)"
expect tarnel_quiet "$(run tarnel_quiet)" "$(fetched tarnel_quiet U U U)"
expect tarnel_odd "$(run tarnel_odd)" "$(fetched tarnel_odd U U 1013.2)"
expect "tarnel_ autoconf" "$(run tarnel_prompt autoconf)" yes

# The device from the link's name: /dev/NAME for tarnel_NAME.
if [ "$(id -u)" -eq 0 ]; then
    link=tarnel-check-$$
    sensor --temperature=-5.5 --link="/dev/$link"
    ln -s "$work/bin/tarnel_" "$plugins/tarnel_$link" || exit 1
    service=tarnel_$(printf '%s' "$link" | tr - _)
    expect "tarnel_$link" "$(run "tarnel_$link")" "$(fetched "$service" -5.5 45.6 1013.2)"
    expect "tarnel_$link config" "$(run "tarnel_$link" config | grep '^graph_title' | head -n 1)" \
        "graph_title Temperature on /dev/$link"
else
    echo "not root: the device from a link's name under /dev is not checked"
fi

finish "munin-run: the graphs and readings of $prompt, $quiet (silent) and $odd"
