#!/usr/bin/env bash
# Registration touches only the component's own entries: the host's interface and library keys
# are the same before, after regsvr32 and after regsvr32 /u; with both bitnesses registered,
# unregistering one leaves what the other uses (the shared ProgID and type library, and its
# own view's class and interface keys). Runs in the prefix WINEPREFIX names.
# Usage: registry_test.sh <dll64> [<dll32>]
set -uo pipefail
dll64=$1 dll32=${2:-}
wine64=/usr/lib/wine/wine64 wine32=/usr/lib/wine/wine
failures=0
check() {  # description, command...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
reg64() { "$wine64" reg "$@" /reg:64 2>/dev/null | tr -d '\r'; }
reg32() { "$wine64" reg "$@" /reg:32 2>/dev/null | tr -d '\r'; }
exists() { "$wine64" reg query "$1" "/reg:$2" >/dev/null 2>&1; }

source "$(dirname "$0")/host_keys.sh"
progid='HKCR\AddIn.AddInObj'
typelib='HKCR\TypeLib\{6B1E3C52-8D0A-4F3B-9A57-2C41E07D9A10}'
iface='HKCR\Interface\{6B1E3C52-8D0A-4F3B-9A57-2C41E07D9A13}'
add_host_keys "$wine64" 64 32
snapshot() { for k in "${host_keys[@]}"; do reg64 query "$k" /s; reg32 query "$k" /s; done; }
before=$(snapshot)

"$wine64" regsvr32 /s "$(winpath "$dll64")"
check "regsvr32 succeeds" test $? -eq 0
check "host keys unchanged by registering" test "$(snapshot)" = "$before"
check "class registered" exists "$clsid\\InprocServer32" 64
check "ProgID registered" exists "$progid\\CLSID" 64
check "type library registered for win64" exists "$typelib\\1.0\\0\\win64" 64
check "apartment threading" bash -c "'$wine64' reg query '$clsid\\InprocServer32' /v ThreadingModel /reg:64 | grep -q Apartment"

if [ -n "$dll32" ]; then
  "$wine32" regsvr32 /s "$(winpath "$dll32")"
  check "32-bit regsvr32 succeeds" test $? -eq 0
else
  # Stands in for the 32-bit registration where 32-bit programs cannot run: the 32-bit view's
  # class key is what the 64-bit unregistration looks at.
  "$wine64" reg add "$clsid\\InprocServer32" /ve /d 'C:\AddIn32\AddIn.dll' /f /reg:32 >/dev/null
  "$wine64" reg add "$typelib\\1.0\\0\\win32" /ve /d 'C:\AddIn32\AddIn.dll' /f /reg:64 >/dev/null
fi
"$wine64" regsvr32 /u /s "$(winpath "$dll64")"
check "regsvr32 /u of one bitness succeeds" test $? -eq 0
check "its class is gone" bash -c "! '$wine64' reg query '$clsid' /reg:64 >/dev/null 2>&1"
check "the other bitness's class stays" exists "$clsid\\InprocServer32" 32
check "the shared ProgID stays" exists "$progid\\CLSID" 64
check "the other bitness's type library stays" exists "$typelib\\1.0\\0\\win32" 64
check "its own view's interface key is gone" bash -c "! '$wine64' reg query '$iface' /reg:64 >/dev/null 2>&1"
[ -n "$dll32" ] && check "the other bitness's interface key stays" exists "$iface\\TypeLib" 32
check "only its own type library platform key is gone" bash -c "! '$wine64' reg query '$typelib\\1.0\\0\\win64' /reg:64 >/dev/null 2>&1"

if [ -n "$dll32" ]; then
  "$wine32" regsvr32 /u /s "$(winpath "$dll32")"
else
  "$wine64" reg delete "$clsid" /f /reg:32 >/dev/null
  "$wine64" reg delete "$typelib\\1.0\\0\\win32" /f /reg:64 >/dev/null
  "$wine64" regsvr32 /s "$(winpath "$dll64")" && "$wine64" regsvr32 /u /s "$(winpath "$dll64")"
fi
for k in "$clsid" "$progid" "$typelib" "$iface"; do
  check "gone after the last unregistration: $k" bash -c "! '$wine64' reg query '$k' /reg:64 >/dev/null 2>&1"
done
check "host keys unchanged by unregistering" test "$(snapshot)" = "$before"
exit $failures
