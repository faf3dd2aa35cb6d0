# Sourced by the shell checks: a failure is reported and counted, and the
# check goes on to show every other one.
failed=0

fail() {
    echo "FAIL: $*"
    failed=1
}

# An empty work folder, made afresh.
fresh_dir() {
    rm -rf "$1" && mkdir -p "$1" || { echo "FAIL: cannot make $1"; exit 1; }
}

# The packages of a configured build, made by cpack into a folder.
#   make_packages CPACK BUILD_DIR WORK_DIR
make_packages() {
    [ -f "$2/CPackConfig.cmake" ] || { echo "FAIL: $2 has no CPackConfig.cmake; configure it again"; exit 1; }
    "$1" --config "$2/CPackConfig.cmake" -B "$3" >"$3/cpack.log" 2>&1 ||
        { cat "$3/cpack.log"; echo "FAIL: cpack"; exit 1; }
}

# The debugging sections an ELF program still holds, for a stripped one none.
#   debug_sections READELF PROGRAM
debug_sections() {
    "$1" -S -W "$2" | grep -o '\.debug_[a-z_]*\|\.symtab' | sort -u | tr '\n' ' '
}

# A simulated sensor in the background, ended with the check at the latest
# (it stops when its parent process ends). Sets sensor_pid, and
# sensor_terminal to its terminal's path, empty when it printed none.
#   start_sensor SENSOR_SIM FILE_PREFIX [OPTION...]
start_sensor() {
    sim=$1
    prefix=$2
    shift 2
    "$sim" "$@" >"$prefix.out" 2>"$prefix.err" </dev/null &
    sensor_pid=$!
    sensor_terminal=
    for _ in $(seq 1 250); do
        sensor_terminal=$(head -n 1 "$prefix.out" 2>/dev/null)
        [ -n "$sensor_terminal" ] && return 0
        kill -0 "$sensor_pid" 2>/dev/null || break
        sleep 0.02
    done
    fail "the simulated sensor printed no terminal: $(cat "$prefix.err")"
    return 1
}

# Ends the check: the summary when nothing failed, and the status.
finish() {
    [ "$failed" -eq 0 ] && echo "$*"
    exit "$failed"
}
