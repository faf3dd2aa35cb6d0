#!/bin/sh
# The programs parse as POSIX sh and shellcheck finds nothing in them.
#   shell-check.sh SHELLCHECK PROGRAM...
set -u
shellcheck=$1
shift
. "$(dirname "$0")/../support/check.sh"

for program; do
    sh -n "$program" || fail "sh -n $program"
    [ -x "$program" ] || fail "$program is not executable"
    [ "$(head -n 1 "$program")" = "#!/bin/sh" ] || fail "$program does not start with #!/bin/sh"
done
"$shellcheck" -s sh "$@" || fail "shellcheck -s sh"
finish "POSIX sh: $*"
