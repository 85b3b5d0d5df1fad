#!/usr/bin/env bash
# Line coverage of the portable core by the native tests, per folder.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
"$ROOT/scripts/setup.sh"
configure_and_build coverage -DCMAKE_BUILD_TYPE=Debug -DADDIN_COVERAGE=ON
find "$BUILD/coverage" -name '*.gcda' -delete
"$BUILD/coverage/tests/unit/unit_tests" --gtest_brief=1 >/dev/null
lcov --quiet --capture --directory "$BUILD/coverage" --output-file "$BUILD/coverage.info" --rc lcov_branch_coverage=0 2>/dev/null
lcov --quiet --extract "$BUILD/coverage.info" "$ROOT/component/*" "$ROOT/host/*" "$ROOT/settings/*" "$ROOT/schedule/*" \
  "$ROOT/delivery/*" "$ROOT/invoices/*" --output-file "$BUILD/coverage-core.info" 2>/dev/null
say "line coverage of the portable core by the native tests"
for folder in component host settings schedule delivery invoices; do
  lcov --quiet --extract "$BUILD/coverage-core.info" "$ROOT/$folder/*" --output-file "$BUILD/coverage-$folder.info" 2>/dev/null
  lcov --summary "$BUILD/coverage-$folder.info" 2>&1 | sed -n "s/.*lines\.*: */$folder: /p"
done
lcov --summary "$BUILD/coverage-core.info" 2>&1 | sed -n 's/.*lines\.*: */all: /p'
say "per file: lcov --list $BUILD/coverage-core.info"
