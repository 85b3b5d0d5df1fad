#!/usr/bin/env bash
# The release archive opens, its checksums hold, and its DLL of each bitness given registers in
# the Wine prefix WINEPREFIX names, is created by its ProgID and answers GetInfo. (How it opens on
# Windows, names, texts and the guide page, is archive_test.py's.)
# Usage: package_test.sh <archive.zip> <32|64>...
set -uo pipefail
archive=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../../scripts/lib.sh"
dir=$(mktemp -d /tmp/addin-package.XXXXXX)
wineserver -p >/dev/null 2>&1  # one wineserver for the whole check
trap 'rm -rf "$dir"; wineserver -k 2>/dev/null' EXIT
check "the archive opens" unzip -tq "$archive"
unzip -q "$archive" -d "$dir"
top=$(ls "$dir")
check "its checksums hold" bash -c "cd '$dir/$top' && sha256sum --quiet -c SHA256SUMS"
check "it holds the two DLLs, the guide and the changelog" test -f "$dir/$top/AddIn.dll" -a -f "$dir/$top/x64/AddIn.dll" \
  -a -f "$dir/$top/guide-ru.html" -a -f "$dir/$top/CHANGELOG.txt"
# The archive's tools, as a user runs them from the unpacked folder: the preview reads the
# sample day as shipped (CRLF, BOM) and writes the sheet the Linux build writes.
tools_run() {  # bits
  local wine=$1
  (cd "$dir/$top" && LC_ALL=ru_RU.UTF-8 "$wine" tools/schedule.exe decode --utf8 --key 0000000 \
      000002000008000024000064000160000384000896 </dev/null | tr -d '\r' | grep -qx 'Воскресенье 7') &&
    (cd "$dir/$top" && "$wine" tools/preview.exe --day tools/sample-day.json --out sheet.html </dev/null >/dev/null) &&
    "$BUILD/native/preview" --day "$ROOT/sim/data/sample-day.json" --out "$dir/native.html" >/dev/null &&
    cmp -s "$dir/native.html" "$dir/$top/sheet.html"
}
for bits in "$@"; do
  if [ "$bits" = 32 ]; then wine=/usr/lib/wine/wine dll="$dir/$top/AddIn.dll"; else wine=/usr/lib/wine/wine64 dll="$dir/$top/x64/AddIn.dll"; fi
  [ "$bits" = 32 ] && check "the archive's tools run from its folder and give the Linux build's sheet" tools_run "$wine"
  check "the archive's $bits-bit DLL registers" "$wine" regsvr32 /s "$(winpath "$dll")"
  check "and answers GetInfo through its ProgID" bash -c "'$wine' cscript //nologo '$(winpath "$here/create.vbs")' | tr -d '\r' | grep -q 'GetInfo gives 1000'"
  "$wine" regsvr32 /u /s "$(winpath "$dll")"
done
echo "package: $passed passed, $failed failed"
exit $((failed > 0))
