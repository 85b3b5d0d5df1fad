#!/usr/bin/env bash
# Benchmarks: the week schedule operations through the dispatcher on the simulated holder
# (native, Release), and through real COM under Wine against a minimal IDispatch holder; the
# delivery sheet natively and through COM; then the soak, a long run of both DLLs in one process
# each (the 32-bit one in the emulator where this kernel runs no 32-bit programs).
set -euo pipefail
source "$(dirname "$0")/lib.sh"

soak() {  # bits: the long soak of one DLL, in the Wine prefix WINEPREFIX names
  local arch wine
  arch=$([ "$1" = 32 ] && echo i686 || echo x86_64)
  wine=$(wine_for "$1")
  "$wine" regsvr32 /s "$(winpath "$BUILD/$arch/component/com/AddIn.dll")"
  "$wine" "$BUILD/$arch-tests/tests/e2e/soak.exe" --day "$(winpath "$ROOT/sim/data/sample-day.json")" \
    --sheets 1000 --calls 100000
}
if [ "${1:-}" = --soak ]; then soak "$2"; exit; fi
"$ROOT/scripts/setup.sh"
configure_and_build bench -DCMAKE_BUILD_TYPE=Release -DADDIN_BENCH=ON -DADDIN_TESTS=OFF
build_windows
say "native: Execute against the host calls it makes"
"$BUILD/bench/bench/schedule_bench" "$@"
say "native: the delivery sheet, sample day and 60 zones x 24 slots x 3 rows"
"$BUILD/bench/bench/delivery_bench" "$@"
new_prefix
trap drop_prefix EXIT
dll="$BUILD/x86_64/component/com/AddIn.dll"
/usr/lib/wine/wine64 regsvr32 /s "$(winpath "$dll")"
say "through COM under Wine (64-bit)"
/usr/lib/wine/wine64 "$BUILD/x86_64-tests/tests/e2e/com_bench.exe"
say "through COM under Wine: the delivery sheet"
/usr/lib/wine/wine64 "$BUILD/x86_64-tests/tests/e2e/day_host.exe" --day "$(winpath "$ROOT/sim/data/sample-day.json")" --repeat 5
for invoices in 1500 3000 6000; do
  say "generated day: 60 zones x 24 slots x 3 rows, $invoices invoices"
  /usr/lib/wine/wine64 "$BUILD/x86_64-tests/tests/e2e/day_host.exe" --generate "60,24,3,$invoices" --repeat 3
done

say "soak through COM under Wine (64-bit): 1,000 sheets, 100,000 calls each of 36, 37, 26"
soak 64
drop_prefix
trap - EXIT
if native_32; then
  say "soak through COM under Wine (32-bit, natively)"
  new_prefix
  trap drop_prefix EXIT
  soak 32
else
  say "soak through COM under Wine (32-bit, in the emulator: $(why_vm))"
  "$ROOT/vm/prefix.sh"
  guest32 soak 3600 -- "$ROOT/scripts/bench.sh" --soak 32
fi
