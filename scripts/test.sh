#!/usr/bin/env bash
# Every test: native unit tests under AddressSanitizer and UBSan, then the real DLLs under Wine.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
"$ROOT/scripts/build.sh" || exit 1
failures=0

say "native unit tests (AddressSanitizer, UBSan)"
ctest --test-dir "$BUILD/native" -j "$JOBS" --output-on-failure >"$BUILD/native-tests.log" 2>&1 ||
  { cat "$BUILD/native-tests.log"; failures=$((failures + 1)); }
tail -n 3 "$BUILD/native-tests.log" | grep -E 'tests passed|failed' || true

say "benchmarks run (figures: scripts/bench.sh)"
"$BUILD/native/bench/schedule_bench" --benchmark_min_time=0.001 >"$BUILD/bench-smoke.log" 2>&1 ||
  { cat "$BUILD/bench-smoke.log"; failures=$((failures + 1)); }

say "fuzz targets, bounded"
for target in schedule_fuzz protocol_fuzz; do
  "$BUILD/fuzz/fuzz/$target" -runs="${ADDIN_FUZZ_RUNS:-50000}" -seed=1 >"$BUILD/$target.log" 2>&1 ||
    { tail -n 30 "$BUILD/$target.log"; failures=$((failures + 1)); }
  grep -h '^Done' "$BUILD/$target.log" | sed "s/^/$target: /"
done

say "product DLLs and tools for Windows"
for arch in i686 x86_64; do
  floor=$([ $arch = i686 ] && echo XPSP3 || echo Vista)
  "$ROOT/tests/e2e/scripts/dll_check.sh" "$arch-w64-mingw32-objdump" "$BUILD/$arch/component/com/AddIn.dll" ||
    failures=$((failures + 1))
  "$ROOT/tests/e2e/scripts/import_floor.sh" "$arch-w64-mingw32-objdump" "$BUILD/$arch/component/com/AddIn.dll" \
    "$floor" "$ROOT/component/com/imports.allow" || failures=$((failures + 1))
  for tool in schedule preview; do
    "$ROOT/tests/e2e/scripts/import_floor.sh" "$arch-w64-mingw32-objdump" "$BUILD/$arch/$tool.exe" \
      "$floor" "$ROOT/component/com/imports.allow" "$ROOT/tools/imports.allow" || failures=$((failures + 1))
  done
done

say "reproducible build"
"$ROOT/tests/e2e/scripts/reproducible.sh" || failures=$((failures + 1))

new_prefix
trap drop_prefix EXIT
run_e2e() {
  # One display for the whole suite: message boxes need it.
  xvfb-run -a "$ROOT/tests/e2e/run.sh" "$1"
}
run_e2e 64 || failures=$((failures + 1))

say "release archive"
archive=$("$ROOT/scripts/package.sh" | head -1)
first=$(sha256sum <"$archive")
"$ROOT/scripts/package.sh" >/dev/null
if [ "$(sha256sum <"$archive")" = "$first" ]; then echo "ok   the archive made twice is byte-identical"
else echo "FAIL the archive made twice differs"; failures=$((failures + 1)); fi
python3 "$ROOT/tests/e2e/scripts/archive_test.py" "$archive" "$ROOT/docs/ru/руководство.md" "$BUILD/package-check" ||
  failures=$((failures + 1))
"$ROOT/tests/e2e/scripts/package_test.sh" "$archive" 64 || failures=$((failures + 1))
export ADDIN_ARCHIVE=$archive  # the 32-bit suite checks its 32-bit DLL
drop_prefix
trap - EXIT

# The product itself: the 32-bit DLL through the whole suite, natively or in the emulator.
if [ "${ADDIN_SKIP_32:-0}" = 1 ]; then
  say "!!!!!!!! 32-bit end-to-end suite SKIPPED (ADDIN_SKIP_32=1): the product DLL was not run !!!!!!!!"
else
  say "the emulator's runner (vm/)"
  "$ROOT/vm/selftest.sh" || failures=$((failures + 1))
  "$ROOT/tests/e2e/run32.sh" || failures=$((failures + 1))
fi

if [ $failures -eq 0 ]; then say "all tests passed"; else say "$failures test groups failed"; fi
exit $((failures > 0))
