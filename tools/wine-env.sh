#!/bin/sh
# A Wine prefix of the project's own for running tarnel.exe: quiet, 32-bit,
# without a display, and with no serial port that the tests did not map.
#
#   WINEPREFIX=DIR wine-env.sh init           create DIR once (reused while the
#                                             Wine version stays), start its session
#   WINEPREFIX=DIR wine-env.sh stop           end the session and its processes
#   WINEPREFIX=DIR wine-env.sh map COMn PATH  COMn opens the Unix device PATH
#   WINEPREFIX=DIR wine-env.sh run PROG ARGS  run a Windows program (creates the
#                                             prefix and starts the session first
#                                             when needed)
#
# WINEARCH (default win32) and TARNEL_WINE, the loader to use (default wine),
# choose 64-bit Wine on a machine that runs no 32-bit programs.
#
# The session (wineserver and Wine's service processes) is started with its
# output detached: a service process that inherited a test's stdout would keep
# the test runner waiting, and the server prints its object list to its stderr
# each time a pseudo-terminal it holds is hung up.
set -eu

if [ -z "${WINEPREFIX:-}" ]; then
    echo "wine-env: WINEPREFIX is not set" >&2
    exit 2
fi
case "$WINEPREFIX" in
    /*) ;;
    *) WINEPREFIX="$(pwd)/$WINEPREFIX" ;;
esac
export WINEPREFIX
export WINEARCH="${WINEARCH:-win32}"
wine="${TARNEL_WINE:-wine}"
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs, no window.
export WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=
unset WAYLAND_DISPLAY

# Seconds the server stays after the last program ended; long enough to
# bridge the gaps between tests, short enough to clean up after an aborted run.
linger=300

start_session() {
    # Exit status 2: a server for this prefix is running already, and with it
    # the service processes.
    if wineserver -p "$linger" </dev/null >/dev/null 2>&1; then
        "$wine" wineboot </dev/null >/dev/null 2>&1
    fi
}

forget_ports() {
    # Links of the machine's ports that the prefix got before the mount
    # manager was switched off, and links of an interrupted test run; tests
    # must reach only the ports they map themselves.
    find "$WINEPREFIX/dosdevices" -maxdepth 1 -name 'com*' -type l -exec rm -f {} +
}

ensure_prefix() {
    stamp="$WINEPREFIX/.tarnel-wine-version"
    # The text after the version names the prefix's own settings: a prefix
    # made with other settings is made again.
    version="$("$wine" --version) $WINEARCH no-mountmgr"
    if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$version" ]; then
        wineserver -k </dev/null >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineserver -p "$linger" </dev/null >/dev/null 2>&1
        "$wine" wineboot -i </dev/null >/dev/null 2>&1
        # The mount manager gives every session the machine's serial ports
        # (/dev/ttyS*, ttyUSB*, ttyACM*) as COM devices, which still open when
        # their dosdevices link is gone. Console programs need neither them
        # nor the drive information the service provides.
        "$wine" reg add 'HKLM\System\CurrentControlSet\Services\MountMgr' \
            /v Start /t REG_DWORD /d 4 /f </dev/null >/dev/null 2>&1
        wineserver -k </dev/null >/dev/null 2>&1 || true
        wineserver -w </dev/null >/dev/null 2>&1 || true
        printf '%s\n' "$version" >"$stamp"
    fi
}

cmd="${1:-}"
[ $# -gt 0 ] && shift
case "$cmd" in
    init)
        ensure_prefix
        start_session
        forget_ports
        ;;
    stop)
        wineserver -k </dev/null >/dev/null 2>&1 || true
        ;;
    map)
        if [ $# -ne 2 ]; then
            echo "usage: wine-env.sh map COMn PATH" >&2
            exit 2
        fi
        name="$(printf '%s' "$1" | tr '[:upper:]' '[:lower:]')"
        case "$name" in
            com[1-9]|com[1-9][0-9]|com[1-9][0-9][0-9]) ;;
            *) echo "wine-env: not a COM port name: $1" >&2; exit 2 ;;
        esac
        ln -sfn "$2" "$WINEPREFIX/dosdevices/$name"
        ;;
    run)
        if [ $# -lt 1 ]; then
            echo "usage: wine-env.sh run PROGRAM [ARGS...]" >&2
            exit 2
        fi
        ensure_prefix
        start_session
        exec "$wine" "$@"
        ;;
    *)
        echo "usage: wine-env.sh init | stop | map COMn PATH | run PROGRAM [ARGS...]" >&2
        exit 2
        ;;
esac
