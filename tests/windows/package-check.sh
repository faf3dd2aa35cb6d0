#!/bin/sh
# CPack's zip of the Windows build, as a Windows user gets it: one folder
# named after the package holding tarnel.exe, README.txt and LICENSE.txt. The
# program is stripped, keeps its version information and its two imports,
# and runs; the texts have CR LF line ends.
#   package-check.sh CPACK CMAKE OBJDUMP WINDRES WINE_ENV WINDOWS_BUILD_DIR WORK_DIR VERSION
set -u
cpack=$1
cmake=$2
objdump=$3
windres=$4
wine_env=$5
build=$6
work=$7
version=$8
. "$(dirname "$0")/../support/check.sh"

fresh_dir "$work"
make_packages "$cpack" "$build" "$work"

set -- "$work"/*.zip
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "FAIL: expected one zip in $work, found: $*"
    exit 1
fi
zip=$1
folder=$(basename "$zip" .zip)
[ "$folder" = "tarnel-$version-win32" ] || fail "zip name $folder.zip is not tarnel-$version-win32.zip"

# CMake reads zip archives itself: no unzip needed.
entries=$("$cmake" -E tar tf "$zip" | grep -v '/$' | sort | tr '\n' ' ')
[ "$entries" = "$folder/LICENSE.txt $folder/README.txt $folder/tarnel.exe " ] ||
    fail "zip must hold LICENSE.txt, README.txt and tarnel.exe in $folder/, holds: $entries"

mkdir -p "$work/unpacked"
(cd "$work/unpacked" && "$cmake" -E tar xf "$zip") || fail "cannot unpack $zip"
dir=$work/unpacked/$folder
exe=$dir/tarnel.exe

sections=$("$objdump" -h "$exe") || fail "$objdump -h $exe"
debug=$(printf '%s\n' "$sections" | grep -o '\.debug_[a-z_]*' | sort -u | tr '\n' ' ')
[ -z "$debug" ] || fail "tarnel.exe keeps debug sections: $debug"
# The same console program for i386 with its two imports as the one built.
sh "$(dirname "$0")/pe-check.sh" "$objdump" "$exe" >"$work/pe-check.out" ||
    fail "the zipped tarnel.exe: $(cat "$work/pe-check.out")"

resources=$("$windres" --input-format=coff --output-format=rc -i "$exe" 2>&1) ||
    fail "windres cannot read the resources: $resources"
for value in "\"FileVersion\", \"$version\"" "\"ProductVersion\", \"$version\"" \
             '"ProductName", "tarnel"' '"OriginalFilename", "tarnel.exe"' '"FileDescription", "tarnel' \
             '"LegalCopyright", "Copyright (c) 2026 The tarnel developers' 'RT_MANIFEST' 'asInvoker'; do
    printf '%s\n' "$resources" | grep -Fq "$value" || fail "the resources lack $value"
done

for text in README.txt LICENSE.txt; do
    # Every line feed follows a carriage return, and the text is not empty.
    lf=$(tr -cd '\n' <"$dir/$text" | wc -c)
    crlf=$(grep -c "$(printf '\r')\$" "$dir/$text")
    [ "$lf" -gt 0 ] && [ "$lf" -eq "$crlf" ] || fail "$text: $crlf of $lf lines end in CR LF"
done
grep -Fq "tarnel.exe -d COM3 -a -j" "$dir/README.txt" || fail "README.txt does not show tarnel.exe -d COM3 -a -j"
grep -Fq "MIT License" "$dir/LICENSE.txt" || fail "LICENSE.txt is not the licence"

# The stripped program still runs: its help, with the status of the help.
# A machine that runs no 32-bit programs has 64-bit Wine only.
if [ "${WINEARCH:-win32}" != win32 ]; then
    finish "$folder.zip: $entries (not run: this machine runs no 32-bit programs)"
fi
(cd "$dir" && sh "$wine_env" run ./tarnel.exe --help >"$work/help.out" 2>"$work/help.err")
status=$?
[ "$status" -eq 1 ] || fail "tarnel.exe --help from the zip: exit status $status, expected 1"
tr -d '\r' <"$work/help.out" | grep -Fxq "Usage: tarnel.exe [options]" ||
    fail "tarnel.exe --help from the zip printed: $(head -c 300 "$work/help.out")"

finish "$folder.zip: $entries"
