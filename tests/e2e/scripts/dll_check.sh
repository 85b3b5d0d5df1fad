#!/usr/bin/env bash
# The product DLL exports exactly the five entry points and imports Windows system DLLs only.
# Usage: dll_check.sh <objdump> <dll>
set -uo pipefail
objdump=$1 dll=$2
dump=$("$objdump" -p "$dll")
exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -o 'Dll[A-Za-z]*' | sort | tr '\n' ' ')
imports=$(printf '%s\n' "$dump" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
system='advapi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll user32.dll'
rc=0
[ "$exports" = "DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer " ] ||
  { echo "FAIL $dll exports: $exports"; rc=1; }
for i in $imports; do
  [[ " $system " == *" $i "* ]] || { echo "FAIL $dll imports $i"; rc=1; }
done
[ $rc = 0 ] && echo "ok   $(basename "$(dirname "$(dirname "$(dirname "$dll")")")") DLL: exports $exports; imports $imports"
exit $rc
