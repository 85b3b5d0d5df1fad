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
new_prefix
trap drop_prefix EXIT
dll="$BUILD/x86_64/component/com/AddIn.dll"
/usr/lib/wine/wine64 regsvr32 /s "$(winpath "$dll")"
say "through COM under Wine (64-bit)"
/usr/lib/wine/wine64 "$BUILD/x86_64/tests/e2e/com_bench.exe"
