#!/usr/bin/env bash
# Two builds of one commit in different folders give byte-identical files: each product DLL and
# each tool for Windows is built again in another folder (a longer path) and compared with the
# one the build made.
set -uo pipefail
source "$(dirname "$0")/../../../scripts/lib.sh"
rc=0
for arch in i686 x86_64; do
  again="$BUILD/reproducible/a-longer-folder-name/$arch"
  cmake -S "$ROOT" -B "$again" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" \
    -DADDIN_TESTS=OFF >/dev/null && ninja -C "$again" -j "$JOBS" AddIn schedule preview >/dev/null ||
    { echo "FAIL second $arch build"; rc=1; continue; }
  for file in component/com/AddIn.dll schedule.exe preview.exe; do
    if cmp -s "$BUILD/$arch/$file" "$again/$file"; then
      echo "ok   $arch $(basename $file) built twice in different folders: byte-identical ($(sha256sum <"$again/$file" | cut -c1-16))"
    else
      echo "FAIL $arch $(basename $file) differs between two builds: $(cmp "$BUILD/$arch/$file" "$again/$file")"
      rc=1
    fi
  done
done
exit $rc
