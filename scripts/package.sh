#!/usr/bin/env bash
# The release archive: builds both DLLs in Release and writes dist/AddIn-<version>.zip with
# AddIn.dll (32-bit, the product), x64/AddIn.dll (for 64-bit hosts), the guide in Russian,
# CHANGELOG.md and SHA256SUMS; prints the archive's path and the checksums. The archive is the
# same byte for byte for the same commit (file times from SOURCE_DATE_EPOCH, or the commit's time).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
"$ROOT/scripts/setup.sh"
build_windows
version=$(sed -n 's/^project(addin VERSION \([0-9.]*\) .*/\1/p' "$ROOT/CMakeLists.txt")
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 946684800)}
stage="$BUILD/package/AddIn-$version"
rm -rf "$BUILD/package" && mkdir -p "$stage/x64"
cp "$BUILD/i686/component/com/AddIn.dll" "$stage/AddIn.dll"
cp "$BUILD/x86_64/component/com/AddIn.dll" "$stage/x64/AddIn.dll"
cp "$ROOT/docs/ru/руководство.md" "$stage/руководство.md"
cp "$ROOT/CHANGELOG.md" "$stage/CHANGELOG.md"
(cd "$stage" && sha256sum AddIn.dll x64/AddIn.dll руководство.md CHANGELOG.md >SHA256SUMS)
find "$stage" -exec touch -h -d "@$epoch" {} +
mkdir -p "$ROOT/dist"
archive="$ROOT/dist/AddIn-$version.zip"
rm -f "$archive"
# Fixed order, no extra attributes, UTF-8 names.
(cd "$BUILD/package" && TZ=UTC zip -q -X -D "$archive" \
  "AddIn-$version/AddIn.dll" "AddIn-$version/x64/AddIn.dll" "AddIn-$version/руководство.md" \
  "AddIn-$version/CHANGELOG.md" "AddIn-$version/SHA256SUMS")
echo "$archive"
sed 's/^/  /' "$stage/SHA256SUMS"
echo "  $(sha256sum "$archive" | cut -d' ' -f1)  $(basename "$archive")"
