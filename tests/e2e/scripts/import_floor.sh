#!/usr/bin/env bash
# A DLL or program loads on its oldest Windows: every function it imports is in an allowlist with an
# oldest Windows no newer than the floor; its subsystem version is no newer than the floor's; and
# it uses no implicit thread-local storage (Windows XP gives none to a DLL loaded with
# LoadLibrary; per-thread state goes through TlsAlloc).
# Usage: import_floor.sh <objdump> <dll or exe> <floor: XPSP3|Vista> <allowlist>...
set -uo pipefail
objdump=$1 dll=$2 floor=$3
allow=("${@:4}")
here=$(cd "$(dirname "$0")" && pwd)
rank() { case $1 in NT4) echo 1 ;; 2000) echo 2 ;; XP) echo 3 ;; XPSP2) echo 4 ;; XPSP3) echo 5 ;; XPx64) echo 6 ;;
                    Vista) echo 7 ;; *) echo 99 ;; esac; }
max=$(rank "$floor")
subsystem_max=$([ "$floor" = XPSP3 ] && echo 501 || echo 600)
rc=0 count=0
while read -r lib fn; do
  count=$((count + 1))
  oldest=$(awk -v l="$lib" -v f="$fn" '$1 == l && $2 == f { print $3; exit }' "${allow[@]}")
  if [ -z "$oldest" ]; then echo "FAIL $dll imports $lib $fn, which is in no allowlist (${allow[*]})"; rc=1
  elif [ "$(rank "$oldest")" -gt "$max" ]; then echo "FAIL $dll imports $lib $fn, which needs $oldest (floor $floor)"; rc=1
  fi
done < <("$here/imports.sh" "$objdump" "$dll")
header=$("$objdump" -p "$dll")
major=$(sed -n 's/^MajorSubsystemVersion\s*//p' <<<"$header") minor=$(sed -n 's/^MinorSubsystemVersion\s*//p' <<<"$header")
[ $((major * 100 + minor)) -le "$subsystem_max" ] || { echo "FAIL $dll subsystem version $major.$minor"; rc=1; }
if "$objdump" -d "$dll" | grep -q '%fs:0x2c\|%gs:0x58'; then echo "FAIL $dll uses implicit thread-local storage"; rc=1; fi
[ $rc = 0 ] && echo "ok   $(basename "${objdump%%-*}") $(basename "$dll"): $count imports, all on $floor; subsystem $major.$minor; no implicit TLS"
exit $rc
