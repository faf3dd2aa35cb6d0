#!/bin/sh
# `cmake --install` puts the tool in bin/ and its manual page in
# share/man/man1/, and nothing else.
#   install-check.sh CMAKE BUILD_DIR WORK_DIR MAN_PAGE
set -u
cmake=$1
build=$2
work=$3
man_page=$4
failed=0

fail() {
    echo "FAIL: $*"
    failed=1
}

rm -rf "$work"
mkdir -p "$work" || exit 1
prefix=$work/prefix
# A DESTDIR of the caller would put the tree somewhere else.
env -u DESTDIR "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; echo "FAIL: cmake --install $build"; exit 1; }

files=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort | tr '\n' ' ')
[ "$files" = "bin/tarnel share/man/man1/tarnel.1 " ] ||
    fail "installed files must be bin/tarnel and share/man/man1/tarnel.1, found: $files"

if [ -x "$prefix/bin/tarnel" ]; then
    "$prefix/bin/tarnel" >"$work/help.out" 2>"$work/help.err"
    status=$?
    [ "$status" -eq 1 ] || fail "installed tarnel without arguments: exit status $status, expected 1"
    grep -Fxq "Usage: tarnel [options]" "$work/help.out" ||
        fail "installed tarnel prints no help: $(head -n 3 "$work/help.out")"
else
    fail "bin/tarnel is not an executable"
fi
cmp -s "$man_page" "$prefix/share/man/man1/tarnel.1" ||
    fail "share/man/man1/tarnel.1 differs from $man_page"

[ "$failed" -eq 0 ] && echo "installed: $files"
exit "$failed"
