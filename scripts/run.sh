#!/usr/bin/env bash
# The main job: the product, the 32-bit DLL, under Wine, loaded the way the platform's loader loads
# it, from an infobase's folder ("C:\Базы\Торговля 2\Доставка.dll": copied there, registered by
# the DLL itself, the objects named by its string 100 created and started; the conversation is
# printed), then the bundled sample day's delivery sheet through it: settings 62
# to 69 and operation 13 on the simulated platform's objects; the sheet goes to
# out/delivery-sheet.html; then one new invoice of the day is filled (operation 41).
# Where this machine's kernel runs no 32-bit programs, the job runs in the full-system emulator
# (vm/); only when that cannot start does the 64-bit build of the same DLL stand in, and says so.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

job() {  # bits: the job itself, in the Wine prefix WINEPREFIX names
  local bits=$1 arch wine dll
  arch=$([ "$bits" = 32 ] && echo i686 || echo x86_64)
  wine=$(wine_for "$bits")
  dll="$BUILD/$arch/component/com/AddIn.dll"
  wineserver -p >/dev/null 2>&1 || true
  say "the platform's loader on $dll ($bits-bit)"
  "$wine" "$BUILD/$arch-tests/tests/e2e/conversation.exe" --dll "$(winpath "$dll")"
  mkdir -p "$ROOT/out"
  say "delivery sheet of the sample day"
  "$wine" "$BUILD/$arch-tests/tests/e2e/day_host.exe" --day "$(winpath "$ROOT/sim/data/sample-day.json")" \
    --out "$(winpath "$ROOT/out/delivery-sheet.html")" --fill-invoice 1
  say "sheet written to out/delivery-sheet.html"
  LC_ALL=C.UTF-8 "$wine" regsvr32 /u /s 'C:\Базы\Торговля 2\Доставка.dll'
  wineserver -k 2>/dev/null || true
}
if [ "${1:-}" = --job ]; then job "$2"; exit; fi

"$ROOT/scripts/setup.sh"
build_windows
if native_32; then
  say "the 32-bit DLL (the product), natively: this kernel runs 32-bit programs"
  new_prefix
  trap drop_prefix EXIT
  job 32
  exit
fi
say "the 32-bit DLL (the product), in the emulator: $(why_vm)"
mkdir -p "$ROOT/out"
rc=0
if "$ROOT/vm/prefix.sh"; then
  guest32 main-job 900 --share "$ROOT/out" -- "$ROOT/scripts/run.sh" --job 32 || rc=$?
else
  rc=125
fi
if [ $rc -ne 125 ]; then exit $rc; fi
say "the emulator could not start: the 64-bit build of the same DLL stands in"
new_prefix
trap drop_prefix EXIT
job 64
