# Sourced by the checks of the monitoring systems. Arguments common to all:
#   PROGRAMS_DIR TOOL SENSOR_SIM
# A private work folder that an unprivileged user can reach, holding copies of
# the tool and the programs; simulated sensors whose terminals the group
# dialout may open, as on a Debian system; daemons that end with the check on
# every path, and within a bound even when the check is killed.
set -u
LC_ALL=C
export LC_ALL
programs=$1
tool=$2
sim=$3
shift 3
. "$(dirname "$0")/../support/check.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnel-integration-XXXXXX") || { echo "FAIL: mktemp"; exit 1; }
pids=
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null; done
    for pid in $pids; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM
chmod 755 "$work"

# The daemons run as the systems run them, under a user of their own when
# the check is root; collectd runs no program as root at all.
if [ "$(id -u)" -eq 0 ]; then
    user=nobody
    group=dialout
else
    user=$(id -un)
    group=$(id -gn)
fi

# What the daemons run: everything they need on PATH, nothing of the caller's.
mkdir "$work/bin" && cp "$tool" "$work/bin/tarnel" &&
    cp "$programs/tarnel-prometheus" "$programs/tarnel-collectd" "$programs/tarnel_" "$work/bin/" &&
    chmod 755 "$work/bin" "$work/bin/"* || { echo "FAIL: cannot copy the programs to $work/bin"; exit 1; }
path=$work/bin:/usr/sbin:/usr/bin:/sbin:/bin

# A simulated sensor: sensor_terminal is its terminal, sensor_pid its process.
#   sensor [OPTION...]
sensors=0
sensor() {
    sensors=$((sensors + 1))
    start_sensor "$sim" "$work/sensor-$sensors" "$@" || exit 1
    pids="$pids $sensor_pid"
    if [ "$(id -u)" -eq 0 ]; then
        chgrp "$group" "$sensor_terminal" && chmod 660 "$sensor_terminal" ||
            { echo "FAIL: cannot hand $sensor_terminal to $group"; exit 1; }
    fi
}

# The options of a sensor that never answers.
silent="--silent=GT --silent=GH --silent=GP --silent=GN"

# A daemon in the background, ended by the check or after 100 s. The signal
# goes to the daemon alone, which ends what it started in its own way.
#   daemon LOG COMMAND [ARGUMENT...]
daemon() {
    log=$1
    shift
    timeout --foreground 100 "$@" >"$log" 2>&1 </dev/null &
    daemon_pid=$!
    pids="$pids $daemon_pid"
}

# Ends a daemon (or sensor) and waits for it.
stop() {
    kill "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}

# Runs COMMAND until it succeeds, for at most SECONDS.
#   wait_until SECONDS COMMAND [ARGUMENT...]
wait_until() {
    limit=$(($1 * 10))
    shift
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        [ "$tries" -lt "$limit" ] || return 1
        sleep 0.1
    done
}

# The lines of TEXT that are not in EXPECTED, and those of EXPECTED that are
# not in TEXT, sorted; nothing when both hold the same lines.
#   line_difference TEXT EXPECTED
line_difference() {
    printf '%s\n' "$1" | sort >"$work/have"
    printf '%s\n' "$2" | sort >"$work/want"
    comm -3 "$work/have" "$work/want"
}
