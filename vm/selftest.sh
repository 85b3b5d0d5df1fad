#!/usr/bin/env bash
# Checks the runner itself: a guest boots, runs a 32-bit program, hands back the command's output
# and exit status, writes into a share, and a guest that outlives its limit is killed, reported
# with the console's tail, and leaves no process behind. About 40 s.
set -uo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
dir="$BUILD/vm/selftest"
rm -rf "$dir" && mkdir -p "$dir"
"$ROOT/vm/guest.sh" --name selftest --limit 120 --share "$dir" -- bash -c \
  "/usr/lib/wine/wine --version; getconf LONG_BIT; echo written >'$dir/file'; exit 7" >"$dir/out" 2>&1
rc=$?
check "the command's exit status comes back" test $rc -eq 7
check "a 32-bit program runs in the guest" grep -q '^wine-' "$dir/out"
check "its output comes back" grep -q '^64$' "$dir/out"
check "a share is writable" grep -qx written "$dir/file"
"$ROOT/vm/guest.sh" --name selftest-hang --limit 25 -- sleep 600 >"$dir/hang" 2>&1
rc=$?
check "a hung guest is killed at its limit (status 124)" test $rc -eq 124
check "and reported with the console's tail" grep -q "killed at its limit" "$dir/hang"
check "no emulator is left running" bash -c "! pgrep -f '[q]emu-system-x86_64.*selftest' >/dev/null"
echo "guest runner: $passed passed, $failed failed"
exit $((failed > 0))
