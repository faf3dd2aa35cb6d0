# The bash completion, sourced as bash-completion would: what COMPREPLY holds
# for a few command lines.
#   bash completion-check.bash COMPLETION_FILE
set -u
source "$1" || { echo "FAIL: cannot source $1"; exit 1; }
failed=0

# Completes the words given, the last being the one under the cursor, and
# compares the sorted candidates.
check() {
    local expected=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _tarnel
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    local want
    want=$(printf '%s\n' $expected | sort | tr '\n' ' ')
    if [[ $got != "$want" ]]; then
        echo "FAIL: tarnel ${*:2}: got [$got], expected [$want]"
        failed=1
    fi
}

# What this machine has: the completion must offer exactly these paths.
devices=
for path in /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyACM* /dev/ttyS*; do
    [[ -e $path ]] && devices+=" $path"
done

for name in $(compgen -e TARNEL_COM); do unset "$name"; done
export TARNEL_COM3=/dev/ttyUSB0 TARNEL_COM12=/dev/ttyACM0 TARNEL_COMX=/dev/null
TARNEL_COM7=/dev/null  # set, but no program sees it

all_long="--help --verbose --device --temperature --humidity --pressure --name --all --json"
all_short="-v -d -t -h -p -n -a -j"
check "$all_long $all_short" tarnel -
check "$all_long" tarnel --
check "$all_long $all_short" tarnel ""
check "--temperature" tarnel --te
check "--help --humidity" tarnel --h
check "-a" tarnel -d COM3 -a
check "COM3 COM12$devices" tarnel -d ""
check "COM3 COM12" tarnel -v -d CO
check "COM12" tarnel --device COM1
check "COM3 COM12$devices" tarnel --device =
check "COM3 COM12" tarnel --dev = C
ttys=$(for path in $devices; do [[ $path == /dev/tty* ]] && printf '%s ' "$path"; done)
check "$ttys" tarnel -d /dev/tty

[[ $failed -eq 0 ]] && echo "completion: options, COMn names and devices as expected"
exit $failed
