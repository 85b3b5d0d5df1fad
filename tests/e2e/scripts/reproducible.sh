#!/usr/bin/env bash
# Two builds of one commit in different folders give byte-identical DLLs: each product DLL is
# built again in another folder (a longer path) and compared with the one the build made.
set -uo pipefail
source "$(dirname "$0")/../../../scripts/lib.sh"
rc=0
for arch in i686 x86_64; do
  again="$BUILD/reproducible/a-longer-folder-name/$arch"
  cmake -S "$ROOT" -B "$again" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" \
    -DADDIN_TESTS=OFF >/dev/null && ninja -C "$again" -j "$JOBS" AddIn >/dev/null || { echo "FAIL second $arch build"; rc=1; continue; }
  if cmp -s "$BUILD/$arch/component/com/AddIn.dll" "$again/component/com/AddIn.dll"; then
    echo "ok   $arch DLL built twice in different folders: byte-identical ($(sha256sum <"$again/component/com/AddIn.dll" | cut -c1-16))"
  else
    echo "FAIL $arch DLL differs between two builds: $(cmp "$BUILD/$arch/component/com/AddIn.dll" "$again/component/com/AddIn.dll")"
    rc=1
  fi
done
exit $rc
