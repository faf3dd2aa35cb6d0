#!/bin/sh
# The Windows runtime's side of the command line, under Wine: the help, the
# mingw-w64 option parser with POSIXLY_CORRECT, and arguments that reach main
# unexpanded.
#   wine-smoke.sh WINE_ENV_SCRIPT EXE WORKDIR     (WINEPREFIX set)
set -u
wine_env=$1
exe=$2
work=$3
. "$(dirname "$0")/../support/check.sh"

unset POSIXLY_CORRECT
posixly_correct=no

# Runs tarnel.exe in $work; leaves exit status, stdout (CR LF as LF) and
# stderr in $status, $work/out and $work/err.
run() {
    (
        cd "$work" || exit 125
        [ "$posixly_correct" = yes ] && export POSIXLY_CORRECT=1
        sh "$wine_env" run "$exe" "$@" >out.raw 2>err
    )
    status=$?
    tr -d '\r' <"$work/out.raw" >"$work/out"
}

has_line() {
    grep -Fxq -- "$1" "$work/out"
}

fresh_dir "$work"

# The help: the banner with its build stamp, the usage line naming the
# executable by its file name, exit status 1, nothing on stderr.
run
[ "$status" -eq 1 ] || fail "help: exit status $status, expected 1"
head -n 1 "$work/out" |
    grep -Eq '^tarnel V1\.00\.00 \(build on [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\) ' ||
    fail "help: banner line is: $(head -n 1 "$work/out")"
has_line "Usage: tarnel.exe [options]" || fail "help: no usage line naming tarnel.exe"
[ -s "$work/err" ] && fail "help: stderr is not empty: $(cat "$work/err")"

# Option errors: the runtime's parser says why on stderr, the help follows.
for args in "-x -d COM9" "--json=1 -d COM9" "-d"; do
    # shellcheck disable=SC2086  # each case is a list of arguments
    run $args
    [ "$status" -eq 1 ] || fail "$args: exit status $status, expected 1"
    has_line "Usage: tarnel.exe [options]" || fail "$args: no help"
    [ -s "$work/err" ] || fail "$args: no diagnostic on stderr"
done

# POSIXLY_CORRECT stops the parse at the first non-option: no device is set.
posixly_correct=yes
run com9 -d COM9
posixly_correct=no
[ "$status" -eq 1 ] || fail "POSIXLY_CORRECT: exit status $status, expected 1"
has_line "Usage: tarnel.exe [options]" || fail "POSIXLY_CORRECT: no help"
run com9 -d COM9
[ "$status" -eq 2 ] || fail "without POSIXLY_CORRECT: exit status $status, expected 2"
has_line "NaN" || fail "without POSIXLY_CORRECT: pressure not printed as NaN"

# No wildcard expansion: with files that "*" and "COM9?" would match, the
# device text stays COM9? and "*" stays a non-option instead of --help.
: >"$work/--help"
: >"$work/COM9A"
run -v -d "COM9?" "*"
[ "$status" -eq 2 ] || fail "wildcards: exit status $status, expected 2"
has_line "COM9?: Error: Open Port" || fail "wildcards: device text was changed: $(cat "$work/out")"
has_line "Usage: tarnel.exe [options]" && fail "wildcards: * was expanded to --help"

finish "help, option parser and command line as on Windows"
