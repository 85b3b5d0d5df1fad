#!/usr/bin/env bash
# Two builds of the DLL through real COM under Wine, in one sitting and in one process, taking
# turns round by round (bench/com_compare.cpp): operations 36, 37 and 26 and the sample day's
# delivery sheet; prints the median of each figure per build and the median of the rounds'
# shares, second / first. The builds are copied under names of their own, so that both load side by side.
# Usage: compare_com.sh <32|64> <first AddIn.dll> <second AddIn.dll> [rounds, default 101]
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
bits=$1 rounds=${4:-101}
arch=$([ "$bits" = 32 ] && echo i686 || echo x86_64)
wine=$(wine_for "$bits")
new_prefix
trap 'drop_prefix; rm -rf "$dir"' EXIT
dir=$(mktemp -d /tmp/addin-compare.XXXXXX)
cp "$2" "$dir/first.dll"
cp "$3" "$dir/second.dll"
"$wine" "$BUILD/$arch-tests/tests/e2e/com_compare.exe" "$(winpath "$dir/first.dll")" "$(winpath "$dir/second.dll")" \
  "$ROOT/sim/data/sample-day.json" "$rounds"
