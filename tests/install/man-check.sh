#!/bin/sh
# The manual pages render without a warning, and the tool's page has in its
# OPTIONS exactly the options of the tool's own help.
#   man-check.sh GROFF MAN_PAGE TOOL [OTHER_PAGE...]
set -u
groff=$1
page=$2
tool=$3
shift 3
. "$(dirname "$0")/../support/check.sh"

for rendered in "$page" "$@"; do
    warnings=$("$groff" -man -ww -z -Tutf8 "$rendered" 2>&1)
    [ -z "$warnings" ] || fail "groff warns on $rendered: $warnings"
done

# Option forms of the help: what stands before the description column.
help_forms=$("$tool" </dev/null 2>/dev/null | sed -n '/^Options:$/,$p' | cut -c1-34 |
    grep -o -- '--*[a-z][a-z]*' | sort -u | tr '\n' ' ')
[ -n "$help_forms" ] || fail "no options found in the help of $tool"

# Option forms of the page: the tag line after each .TP of the OPTIONS section.
page_forms=$(sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$page" | sed -n '/^\.TP/{n;p;}' |
    sed 's/\\-/-/g; s/\\f[A-Z]//g' | grep -o -- '--*[a-z][a-z]*' | sort -u | tr '\n' ' ')

[ "$help_forms" = "$page_forms" ] ||
    fail "OPTIONS of the page: $page_forms; options of the help: $help_forms"

finish "no warnings; options $page_forms"
