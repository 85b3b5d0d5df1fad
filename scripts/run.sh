#!/usr/bin/env bash
# The main job: loads the real DLL under Wine the way the platform does and prints the
# conversation between host and component.
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
"$wine" regsvr32 /u /s "$(winpath "$dll")"
