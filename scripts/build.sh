#!/usr/bin/env bash
# Builds the native core with its tests (sanitizers on) and both Windows DLLs with their test programs.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
"$ROOT/scripts/setup.sh"
say "native build"
configure_and_build native -DCMAKE_BUILD_TYPE=Debug -DADDIN_SANITIZE=ON -DADDIN_BENCH=ON
say "fuzz targets (clang, libFuzzer)"
CXX=clang++ configure_and_build fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DADDIN_FUZZ=ON -DADDIN_TESTS=OFF
say "Windows builds (i686, x86_64)"
build_windows
