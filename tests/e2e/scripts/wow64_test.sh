#!/usr/bin/env bash
# The deployments users have, in the Wine prefix WINEPREFIX names: a 32-bit platform on 64-bit
# Windows (win64 prefix: the i686 DLL registered by the 32-bit regsvr32 from syswow64, the x86_64
# one by the 64-bit regsvr32) and plain 32-bit Windows (win32 prefix). Each bitness's cscript
# must load its own bitness's DLL; the 32-bit registration lands in the 32-bit registry view only;
# unregistering one bitness leaves the other working; the host's own keys are never touched.
# Needs a kernel that runs 32-bit programs.
# Usage: wow64_test.sh <win64|win32> <dll32> [<dll64>]
set -uo pipefail
arch=$1 dll32=$2 dll64=${3:-}
wine32=/usr/lib/wine/wine wine64=/usr/lib/wine/wine64
here=$(cd "$(dirname "$0")" && pwd)
script=$here/create.vbs
source "$here/../../../scripts/lib.sh"
source "$here/host_keys.sh"
reg_wine=$wine64; [ "$arch" = win32 ] && reg_wine=$wine32
views=(32 64); [ "$arch" = win32 ] && views=(32)
inproc() {  # view -> the registered DLL path, or nothing
  "$reg_wine" reg query "$clsid\\InprocServer32" /ve "/reg:$1" 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'
}
# Which AddIn.dll a cscript of that loader loaded, from Wine's loader trace; and whether the
# object answered.
loaded_by() {  # loader -> path of the AddIn.dll it loaded ("" when the object did not answer)
  local trace
  trace=$(mktemp)
  if WINEDEBUG=+loaddll "$1" cscript //nologo "$(winpath "$script")" >/dev/null 2>"$trace"; then
    tr -d '\r' <"$trace" | sed -n 's/.*Loaded L"\([^"]*[Aa][Dd][Dd][Ii][Nn]\.[Dd][Ll][Ll]\)".*/\1/p' |
      sed 's/\\\\/\\/g' | head -1
  fi
  rm -f "$trace"
}
same_path() { [ "$(printf '%s' "$1" | tr 'A-Z' 'a-z')" = "$(printf '%s' "$2" | tr 'A-Z' 'a-z')" ]; }

# One wineserver for the whole test: otherwise each Wine process starts its own.
wineserver -k 2>/dev/null
wineserver -p >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null' EXIT

add_host_keys "$reg_wine" "${views[@]}"
# All the host's keys in every view, read by one process (each Wine process costs seconds in
# the emulator).
snapshot() {
  local line="" k v
  for k in "${host_keys[@]}"; do for v in "${views[@]}"; do line+="reg query $k /s /reg:$v & "; done; done
  "$reg_wine" cmd /c "${line% & }" 2>&1 | tr -d '\r'
}
before=$(snapshot)
w32=$(winpath "$dll32")

"$wine32" regsvr32 /s "$w32"
check "$arch: the 32-bit regsvr32 registers the i686 DLL" test $? -eq 0
check "$arch: its class is in the 32-bit registry view" same_path "$(inproc 32)" "$w32"
check "$arch: the 32-bit cscript loads the i686 DLL" same_path "$(loaded_by "$wine32")" "$w32"
check "$arch: host keys untouched by the 32-bit registration" test "$(snapshot)" = "$before"

if [ "$arch" = win64 ]; then
  w64=$(winpath "$dll64")
  check "win64: the 64-bit registry view has no class of the 32-bit registration" test -z "$(inproc 64)"
  check "win64: the 64-bit cscript finds no class yet" test -z "$(loaded_by "$wine64")"
  "$wine64" regsvr32 /s "$w64"
  check "win64: the 64-bit regsvr32 registers the x86_64 DLL" test $? -eq 0
  check "win64: its class is in the 64-bit registry view" same_path "$(inproc 64)" "$w64"
  check "win64: the 32-bit view still names the i686 DLL" same_path "$(inproc 32)" "$w32"
  check "win64: the 64-bit cscript loads the x86_64 DLL" same_path "$(loaded_by "$wine64")" "$w64"
  check "win64: the 32-bit cscript still loads the i686 DLL" same_path "$(loaded_by "$wine32")" "$w32"
  "$wine32" regsvr32 /u /s "$w32"
  check "win64: unregistering the 32-bit DLL empties the 32-bit view" test -z "$(inproc 32)"
  check "win64: ... and the 64-bit cscript still works" same_path "$(loaded_by "$wine64")" "$w64"
  "$wine32" regsvr32 /s "$w32" && "$wine64" regsvr32 /u /s "$w64"
  check "win64: unregistering the 64-bit DLL empties the 64-bit view" test -z "$(inproc 64)"
  check "win64: ... and the 32-bit cscript still works" same_path "$(loaded_by "$wine32")" "$w32"
  check "win64: host keys untouched throughout" test "$(snapshot)" = "$before"
fi
"$wine32" regsvr32 /u /s "$w32"
check "$arch: the last unregistration removes the class" test -z "$(inproc 32)"
check "$arch: the 32-bit cscript then finds no class" test -z "$(loaded_by "$wine32")"
check "$arch: host keys untouched by unregistering" test "$(snapshot)" = "$before"
echo "registration, $arch: $passed passed, $failed failed"
exit $((failed > 0))
