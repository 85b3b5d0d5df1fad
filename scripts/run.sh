#!/usr/bin/env bash
# The main job: the real DLL under Wine, loaded the way the platform loads it (the conversation
# is printed), then the bundled sample day's delivery sheet through it: settings 62 to 69 and
# operation 13 on the simulated platform's objects; the sheet goes to out/delivery-sheet.html.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
"$ROOT/scripts/setup.sh"
build_windows
bits=32
if ! can_run_32; then
  say "this machine cannot run 32-bit programs; the 64-bit build of the same DLL stands in"
  bits=64
fi
arch=$([ $bits = 32 ] && echo i686 || echo x86_64)
new_prefix
trap drop_prefix EXIT
wine=$(wine_for $bits)
dll="$BUILD/$arch/component/com/AddIn.dll"
"$wine" regsvr32 /s "$(winpath "$dll")"
say "load sequence of $dll"
"$wine" "$BUILD/$arch/tests/e2e/conversation.exe"
mkdir -p "$ROOT/out"
say "delivery sheet of the sample day"
"$wine" "$BUILD/$arch/tests/e2e/day_host.exe" --day "$(winpath "$ROOT/sim/data/sample-day.json")" \
  --out "$(winpath "$ROOT/out/delivery-sheet.html")" --fill-invoice 1
say "sheet written to out/delivery-sheet.html"
"$wine" regsvr32 /u /s "$(winpath "$dll")"
