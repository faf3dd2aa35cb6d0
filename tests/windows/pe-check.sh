#!/bin/sh
# tarnel.exe is a 32-bit console program for Intel 80386 that runs on a bare
# Windows: its import table names only KERNEL32.dll and msvcrt.dll.
#   pe-check.sh OBJDUMP EXE
set -u
objdump=$1
exe=$2
. "$(dirname "$0")/../support/check.sh"

headers=$("$objdump" -p "$exe") || { echo "FAIL: $objdump -p $exe"; exit 1; }

printf '%s\n' "$headers" | grep -q 'file format pei-i386$' ||
    fail "not a PE file for i386: $(printf '%s\n' "$headers" | grep 'file format')"
printf '%s\n' "$headers" | grep -Eq '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' ||
    fail "not PE32: $(printf '%s\n' "$headers" | grep '^Magic')"
printf '%s\n' "$headers" | grep -Eq '^Subsystem[[:space:]]+00000003[[:space:]]+\(Windows CUI\)' ||
    fail "not a console program: $(printf '%s\n' "$headers" | grep '^Subsystem')"

imports=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u | tr '\n' ' ')
[ "$imports" = "KERNEL32.dll msvcrt.dll " ] ||
    fail "imports must be exactly KERNEL32.dll and msvcrt.dll, found: $imports"

finish "PE32 i386 console program importing $imports"
