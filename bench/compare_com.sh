#!/usr/bin/env bash
# Two builds of the DLL through real COM under Wine, in one sitting: operations 36, 37 and 26
# (bench/com_bench.cpp) and the sample day's delivery sheet (tools/day_host.cpp), run N times
# each, the two DLLs taking turns, the same test programs driving both; prints the median of
# each figure per DLL and the second's as a share of the first's.
# Usage: compare_com.sh <32|64> <first AddIn.dll> <second AddIn.dll> [N, default 5]
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
bits=$1 first=$2 second=$3 runs=${4:-5}
arch=$([ "$bits" = 32 ] && echo i686 || echo x86_64)
wine=$(wine_for "$bits")
tests="$BUILD/$arch-tests/tests/e2e"
new_prefix
trap drop_prefix EXIT
out=$(mktemp -d /tmp/addin-compare.XXXXXX)
for ((i = 1; i <= runs; i++)); do
  for which in first second; do
    dll=${!which}
    "$wine" regsvr32 /s "$(winpath "$dll")"
    "$wine" "$tests/com_bench.exe" | sed -n 's/^operation \([0-9]*\) through COM: Execute \([0-9.]*\) ns.*/op\1 \2/p' >>"$out/$which"
    "$wine" "$tests/day_host.exe" --day "$(winpath "$ROOT/sim/data/sample-day.json")" --repeat 5 |
      sed -n 's/^one run: \([0-9.]*\) ms.*/sheet \1/p' >>"$out/$which"
    "$wine" regsvr32 /u /s "$(winpath "$dll")"
  done
done
python3 - "$out/first" "$out/second" <<'PY'
import statistics, sys
def medians(path):
    values = {}
    for line in open(path):
        name, value = line.split()
        values.setdefault(name, []).append(float(value))
    return {k: (statistics.median(v), len(v)) for k, v in values.items()}
a, b = medians(sys.argv[1]), medians(sys.argv[2])
units = {"sheet": "ms"}
for name in sorted(a):
    (ma, n), (mb, _) = a[name], b[name]
    unit = units.get(name, "ns")
    label = {"op36": "operation 36", "op37": "operation 37", "op26": "operation 26", "sheet": "sample day's sheet"}[name]
    print(f"{label:20s} median of {n}: first {ma:10.1f} {unit}, second {mb:10.1f} {unit}, second/first {mb / ma:.3f}")
PY
rm -rf "$out"
