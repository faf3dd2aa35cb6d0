# bash completion for tarnel                                  -*- shell-script -*-

# The devices -d can name: COMn for each TARNEL_COMn in the environment, and
# the serial devices this machine has.
_tarnel_devices()
{
    local name path
    for name in $(compgen -e TARNEL_COM); do
        [[ $name =~ ^TARNEL_COM([1-9][0-9]*)$ ]] && printf '%s\n' "COM${BASH_REMATCH[1]}"
    done
    for path in /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyACM* /dev/ttyS*; do
        [[ -e $path ]] && printf '%s\n' "$path"
    done
}

_tarnel()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD-1]}
    local before=
    ((COMP_CWORD > 1)) && before=${COMP_WORDS[COMP_CWORD-2]}
    COMPREPLY=()

    # bash splits --device=COM3 at the equals sign; with nothing after it
    # yet, the equals sign is the current word.
    if [[ $cur == = ]]; then
        before=$prev
        prev==
        cur=
    fi
    # The device: after -d, or after --device (or an abbreviation of it) with
    # or without the equals sign.
    local option=$prev
    [[ $prev == = ]] && option=$before
    local device=no
    [[ $prev == -d ]] && device=yes
    case $option in --de | --dev | --devi | --devic | --device) device=yes ;; esac
    local candidate
    if [[ $device == yes ]]; then
        while IFS= read -r candidate; do
            [[ $candidate == "$cur"* ]] && COMPREPLY+=("$candidate")
        done < <(_tarnel_devices)
        return 0
    fi

    local options="--help --verbose --device --temperature --humidity --pressure --name --all --json
                   -v -d -t -h -p -n -a -j"
    for candidate in $options; do
        [[ $candidate == "$cur"* ]] && COMPREPLY+=("$candidate")
    done
    return 0
}
complete -F _tarnel tarnel
