#!/usr/bin/env bash
# Benchmarks: the week schedule operations through the dispatcher on the simulated holder
# (native, Release), and through real COM under Wine against a minimal IDispatch holder.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
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
/usr/lib/wine/wine64 "$BUILD/x86_64/tests/e2e/com_bench.exe"
say "through COM under Wine: the delivery sheet"
/usr/lib/wine/wine64 "$BUILD/x86_64/tests/e2e/day_host.exe" --day "$(winpath "$ROOT/sim/data/sample-day.json")" --repeat 5
for invoices in 1500 3000 6000; do
  say "generated day: 60 zones x 24 slots x 3 rows, $invoices invoices"
  /usr/lib/wine/wine64 "$BUILD/x86_64/tests/e2e/day_host.exe" --generate "60,24,3,$invoices" --repeat 3
done
