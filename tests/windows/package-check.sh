#!/bin/sh
# CPack's zip of the Windows build holds exactly tarnel.exe and README.md, in
# a folder named after the package, as the build made them.
#   package-check.sh CPACK CMAKE WINDOWS_BUILD_DIR WORK_DIR README
set -u
cpack=$1
cmake=$2
build=$3
work=$4
readme=$5
failed=0

fail() {
    echo "FAIL: $*"
    failed=1
}

rm -rf "$work"
mkdir -p "$work" || exit 1
[ -f "$build/CPackConfig.cmake" ] || { echo "FAIL: $build has no CPackConfig.cmake; configure it again"; exit 1; }
"$cpack" --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }

set -- "$work"/*.zip
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "FAIL: expected one zip in $work, found: $*"
    exit 1
fi
zip=$1
folder=$(basename "$zip" .zip)
case "$folder" in
    tarnel-*-win32) ;;
    *) fail "zip name $folder.zip is not tarnel-VERSION-win32.zip" ;;
esac

# CMake reads zip archives itself: no unzip needed.
entries=$("$cmake" -E tar tf "$zip" | grep -v '/$' | sort | tr '\n' ' ')
[ "$entries" = "$folder/README.md $folder/tarnel.exe " ] ||
    fail "zip must hold $folder/README.md and $folder/tarnel.exe, holds: $entries"

mkdir -p "$work/unpacked"
(cd "$work/unpacked" && "$cmake" -E tar xf "$zip") || fail "cannot unpack $zip"
cmp -s "$build/tarnel.exe" "$work/unpacked/$folder/tarnel.exe" || fail "tarnel.exe in the zip is not the built one"
cmp -s "$readme" "$work/unpacked/$folder/README.md" || fail "README.md in the zip is not $readme"

[ "$failed" -eq 0 ] && echo "$folder.zip: $entries"
exit "$failed"
