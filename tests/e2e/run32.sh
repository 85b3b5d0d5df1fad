#!/usr/bin/env bash
# The 32-bit end-to-end suite on the i686 DLL, the product: natively where the kernel runs 32-bit
# programs, otherwise inside the full-system emulator (vm/), two one-CPU guests side by side.
#   A: tests/e2e/run.sh 32 in a win64 prefix (a 32-bit platform on 64-bit Windows);
#   B: registration as users deploy it, in a win64 and a win32 prefix (scripts/wow64_test.sh).
# Ends with one line: "32-bit end-to-end: N passed, M failed".
set -uo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"
out="$BUILD/e2e-32"
mkdir -p "$out"
rm -f "$out"/suite-*.log "$out"/dll-*.html
dll32="$BUILD/i686/component/com/AddIn.dll" dll64="$BUILD/x86_64/component/com/AddIn.dll"
export ADDIN_BUILD="$BUILD"

# What each part runs, given WINEPREFIX (A) or the two prefixes (B). A also checks the release
# archive's 32-bit DLL when ADDIN_ARCHIVE names the archive. Only what runs 32-bit code runs
# there: the sheet A writes is opened in headless Chromium afterwards, on the machine itself.
part_a='wineserver -k 2>/dev/null; ADDIN_PAGE_CHECK=later xvfb-run -a "$ROOT/tests/e2e/run.sh" 32; a=$?
        if [ -n "${ADDIN_ARCHIVE:-}" ]; then "$ROOT/tests/e2e/scripts/package_test.sh" "$ADDIN_ARCHIVE" 32 || a=1; fi
        exit $a'
part_b='WINEPREFIX=$P64 "$ROOT/tests/e2e/scripts/wow64_test.sh" win64 "$DLL32" "$DLL64";
        a=$?; WINEPREFIX=$P64 wineserver -k 2>/dev/null
        WINEPREFIX=$P32 "$ROOT/tests/e2e/scripts/wow64_test.sh" win32 "$DLL32"; b=$?
        WINEPREFIX=$P32 wineserver -k 2>/dev/null; exit $((a + b))'

if native_32; then
  say "32-bit end-to-end tests, natively"
  new_prefix
  trap drop_prefix EXIT
  p64=$WINEPREFIX p32=$(mktemp -d /tmp/addin-wine32.XXXXXX)
  WINEPREFIX=$p32 WINEARCH=win32 /usr/lib/wine/wine wineboot -i >/dev/null 2>&1
  ROOT=$ROOT bash -c "$part_a" >"$out/suite-a.log" 2>&1
  WINEPREFIX=$p64 wineserver -k 2>/dev/null
  ROOT=$ROOT P64=$p64 P32=$p32 DLL32=$dll32 DLL64=$dll64 bash -c "$part_b" >"$out/suite-b.log" 2>&1
  rm -rf "$p32"
else
  say "32-bit end-to-end tests in the emulator (vm/guest.sh): $(why_vm)"
  "$ROOT/vm/prefix.sh" || { echo "32-bit end-to-end: 0 passed, 1 failed (no Wine prefix for the guest)"; exit 1; }
  limit=${ADDIN_VM_LIMIT:-1800}  # room for a busy 2-core machine
  GUEST_PASS="ROOT ADDIN_ARCHIVE ADDIN_DLL_UNDER_TEST" ROOT=$ROOT \
    guest32 suite-a "$limit" --share "$out" -- bash -c "$part_a" >"$out/suite-a.log" 2>&1 &
  a=$!
  GUEST_PASS="ROOT P64 P32 DLL32 DLL64" ROOT=$ROOT P64="$BUILD/vm/prefix-win64" P32="$BUILD/vm/prefix-win32" \
    DLL32=$dll32 DLL64=$dll64 guest32 suite-b "$limit" -- bash -c "$part_b" >"$out/suite-b.log" 2>&1 &
  b=$!
  trap 'kill $a $b 2>/dev/null; wait' INT TERM
  wait $a; wait $b
fi

rm -f "$out/suite-page.log"
if [ -f "$out/dll-shared.html" ]; then
  python3 "$ROOT/tests/e2e/scripts/sheet_dom_test.py" "$out/dll-shared.html" "$ROOT/sim/data/sample-day.json" \
    >"$out/suite-page.log" 2>&1
  page=$?
else
  echo "FAIL part A wrote no sheet" >"$out/suite-page.log"
  page=1
fi
echo "the 32-bit DLL's sheet in headless Chromium, on this machine: $((1 - (page > 0))) passed, $((page > 0)) failed" \
  >>"$out/suite-page.log"
for part in a b page; do
  echo "---- part $part ----"
  cat "$out/suite-$part.log"
done
# Each part ends with its own count; a part that ended before its count counts as one failure.
passed=0 failed=0
for part in a b page; do
  counts=$(sed -n 's/.*: \([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p' "$out/suite-$part.log")
  [ -n "$counts" ] || counts="0 1"
  while read -r p f; do passed=$((passed + p)); failed=$((failed + f)); done <<<"$counts"
done
echo "32-bit end-to-end: $passed passed, $failed failed"
exit $((failed > 0))
