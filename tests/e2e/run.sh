#!/usr/bin/env bash
# The end-to-end tests of one bitness in the current Wine prefix: the test host by vtable, the
# type libraries and version resource, the VBScript clients, the conversion rules against
# oleaut32, the sample day through the DLL in three member numberings, the page in Chromium, a
# short soak, and (64-bit) registration. Ends with "end-to-end (N-bit): P passed, F failed".
# Usage: run.sh <32|64>
set -uo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"
bits=$1
arch=$([ "$bits" = 32 ] && echo i686 || echo x86_64)
wine=$(wine_for "$bits")
dir="$BUILD/$arch"            # the product DLL
tests="$BUILD/$arch-tests"    # the test programs
# ADDIN_DLL_UNDER_TEST: another build of the DLL to run the suite on (a test variant).
dll=${ADDIN_DLL_UNDER_TEST:-$dir/component/com/AddIn.dll}
passed=0 failures=0
step() {  # description, command...
  local what=$1; shift
  say "$what ($bits-bit)"
  if "$@"; then passed=$((passed + 1)); else echo "FAIL $what ($bits-bit)"; failures=$((failures + 1)); fi
}

# A wineserver started without a display keeps message boxes from opening: start it anew here,
# inside the display the suite runs in.
wineserver -k 2>/dev/null
wineserver -p >/dev/null 2>&1
"$wine" regsvr32 /s "$(winpath "$dll")" || { echo "FAIL regsvr32 $dll"; exit 1; }
mkdir -p "$BUILD/e2e-$bits"
export ADDIN_E2E_OUT
ADDIN_E2E_OUT=$(winpath "$BUILD/e2e-$bits")
export ADDIN_DLL ADDIN_DLL32
ADDIN_DLL=$(winpath "$dll")
ADDIN_DLL32=$(winpath "$BUILD/i686/component/com/AddIn.dll")
step "test host" "$wine" "$tests/tests/e2e/e2e_host.exe" --gtest_brief=1
# The debugger lines in the ANSI code page of a Russian system: Wine takes it from LC_ALL.
step "the debugger lines as DebugView reads them, Russian code page" env LC_ALL=ru_RU.UTF-8 ADDIN_EXPECT_ACP=1251 \
  "$wine" "$tests/tests/e2e/e2e_host.exe" --gtest_brief=1 \
  --gtest_filter='Host.AFailedExecuteWrites*:Host.BadArgumentArrays*:Host.RoutineFailures*'
step "differential test of the value rules" "$wine" "$tests/tests/e2e/differential.exe" --gtest_brief=1
# Scripts are saved as cp1251 for their Cyrillic names; the console answers in cp866.
# A script that does not compile prints nothing and still ends with status 0: a script passes
# when it ends with 0, passed checks and failed none.
cscript() {
  local out rc
  out=$(LC_ALL=ru_RU.UTF-8 "$wine" cscript //nologo "$(winpath "$ROOT/tests/e2e/scripts/$1")" </dev/null |
        iconv -f cp866 -t utf-8; exit "${PIPESTATUS[0]}")
  rc=$?
  printf '%s\n' "$out"
  [ "$rc" = 0 ] && grep -q '^ok ' <<<"$out" && ! grep -q '^FAIL' <<<"$out"
}
step "VBScript client" cscript client.vbs
step "VBScript week schedule" cscript schedule.vbs
# The sample day through the real DLL: the same sheet, cell for cell, as the native preview, and
# every reference the DLL took given back; also with the simulated objects numbering their
# members per type, as the platform's objects do, so that a member number carried from one
# object to another of a different type would read the wrong member or fail.
out="$BUILD/e2e-$bits"
rm -f "$out/native.html"
"$BUILD/native/preview" --day "$ROOT/sim/data/sample-day.json" --out "$out/native.html" >/dev/null
sample_day() {  # numbering
  "$wine" "$tests/tests/e2e/day_host.exe" --day "$(winpath "$ROOT/sim/data/sample-day.json")" --numbering "$1" \
      --out "$(winpath "$out/dll-$1.html")" --fill-invoice 1 >"$out/day-$1.txt" &&
    cmp "$out/native.html" "$out/dll-$1.html" && echo "ok   the DLL's sheet equals the native one" &&
    { [ "$1" = shared ] || diff <(sed -n '/^new invoice/,$p' "$out/day-shared.txt") \
                                <(sed -n '/^new invoice/,$p' "$out/day-$1.txt"); } &&
    echo "ok   the new invoice's fields are the same"
}
step "sample day through the DLL" sample_day shared
step "sample day, members numbered per type (rotated)" sample_day rotated
step "sample day, members numbered per type (disjoint)" sample_day disjoint
# ADDIN_PAGE_CHECK=later: the caller opens the page itself, on the machine (not in an emulated
# guest, where Chromium under software emulation takes minutes).
if [ "${ADDIN_PAGE_CHECK:-}" != later ]; then
  step "the sheet in headless Chromium" python3 "$ROOT/tests/e2e/scripts/sheet_dom_test.py" "$BUILD/e2e-$bits/dll-shared.html" \
    "$ROOT/sim/data/sample-day.json"
fi
# The tools for Windows say what their Linux builds say, in files and pipes (cp866, UTF-8) and,
# on the machine itself, in a real terminal.
step "the tools against their Linux builds" python3 "$ROOT/tests/e2e/scripts/tools_test.py" "$wine" "$dir" \
  "$BUILD/native" "$ROOT" "$BUILD/tools-$bits" $([ "${ADDIN_PAGE_CHECK:-}" != later ] && echo --tmux)
# A long run in one process, shortened: memory, references and results stay put (the full one
# is in scripts/bench.sh).
step "soak, short" "$wine" "$tests/tests/e2e/soak.exe" --day "$(winpath "$ROOT/sim/data/sample-day.json")" \
  --sheets 100 --calls 10000
"$wine" regsvr32 /u /s "$(winpath "$dll")"
if [ "$bits" = 64 ]; then
  other=""
  can_run_32 && other="$BUILD/i686/component/com/AddIn.dll"
  step "registration" "$ROOT/tests/e2e/scripts/registry_test.sh" "$dll" $other
fi
echo "end-to-end ($bits-bit): $passed passed, $failures failed"
exit $((failures > 0))
