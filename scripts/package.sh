#!/usr/bin/env bash
# The release archive: builds both DLLs in Release and writes dist/AddIn-<version>.zip with
# AddIn.dll (32-bit, the product), x64/AddIn.dll (for 64-bit hosts), the guide in Russian as one
# HTML page (guide-ru.html), the tools for Windows (tools/schedule.exe, tools/preview.exe, 32-bit
# like the product) with the sample day the preview reads (tools/sample-day.json), CHANGELOG.txt
# and SHA256SUMS, all under ASCII names, the texts with
# CRLF line ends; prints the archive's path and the checksums. The archive is the
# same byte for byte for the same commit (file times from SOURCE_DATE_EPOCH, or the commit's time).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
"$ROOT/scripts/setup.sh"
build_windows
version=$(sed -n 's/^project(addin VERSION \([0-9.]*\) .*/\1/p' "$ROOT/CMakeLists.txt")
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 946684800)}
stage="$BUILD/package/AddIn-$version"
rm -rf "$BUILD/package" && mkdir -p "$stage/x64" "$stage/tools"
cp "$BUILD/i686/component/com/AddIn.dll" "$stage/AddIn.dll"
cp "$BUILD/x86_64/component/com/AddIn.dll" "$stage/x64/AddIn.dll"
cp "$BUILD/i686/schedule.exe" "$BUILD/i686/preview.exe" "$stage/tools/"

# Text for Windows: CRLF line ends (the Notepad of XP shows LF-only text as one line), and a
# UTF-8 BOM where the text is not plain ASCII (without one, that Notepad reads the ANSI code page).
windows_text() {  # source, destination
  if LC_ALL=C grep -q '[^ -~	]' "$1"; then printf '\357\273\277' >"$2"; else : >"$2"; fi
  sed 's/\r$//; s/$/\r/' "$1" >>"$2"
}
# The guide as one page that any browser of XP shows: rendered from the Markdown, with a BOM and
# the character set in the page, no script, plain CSS.
guide_page() {  # markdown, destination
  local title body
  title=$(sed -n '1s/^# //p' "$1")
  body=$(cmark-gfm --extension table --to html "$1")
  cat >"$2.lf" <<PAGE
<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01//EN" "http://www.w3.org/TR/html4/strict.dtd">
<html lang="ru">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=utf-8">
<title>$title</title>
<style type="text/css">
body { font-family: Tahoma, Verdana, Arial, sans-serif; font-size: 10pt; margin: 1em 2em; color: #000; background: #fff; }
h1 { font-size: 16pt; } h2 { font-size: 13pt; margin-top: 1.5em; border-bottom: 1px solid #999; } h3 { font-size: 11pt; }
table { border-collapse: collapse; margin: 0.5em 0; }
th, td { border: 1px solid #999; padding: 2px 6px; vertical-align: top; text-align: left; }
th { background: #eee; }
pre { background: #f4f4f4; border: 1px solid #ddd; padding: 6px; }
code, pre { font-family: "Courier New", Courier, monospace; font-size: 9pt; }
</style>
</head>
<body>
$body
</body>
</html>
PAGE
  windows_text "$2.lf" "$2"
  rm -f "$2.lf"
}
guide_page "$ROOT/docs/ru/руководство.md" "$stage/guide-ru.html"
windows_text "$ROOT/CHANGELOG.md" "$stage/CHANGELOG.txt"
windows_text "$ROOT/sim/data/sample-day.json" "$stage/tools/sample-day.json"
files=(AddIn.dll x64/AddIn.dll guide-ru.html CHANGELOG.txt tools/schedule.exe tools/preview.exe tools/sample-day.json)
(cd "$stage" && sha256sum "${files[@]}" | sed 's/$/\r/' >SHA256SUMS)
find "$stage" -exec touch -h -d "@$epoch" {} +
mkdir -p "$ROOT/dist"
archive="$ROOT/dist/AddIn-$version.zip"
rm -f "$archive"
# Fixed order, no extra attributes; every name plain ASCII, since Windows' own zip folder reads
# names in the OEM code page.
(cd "$BUILD/package" && TZ=UTC zip -q -X -D "$archive" "${files[@]/#/AddIn-$version/}" "AddIn-$version/SHA256SUMS")
echo "$archive"
sed 's/\r$//; s/^/  /' "$stage/SHA256SUMS"
echo "  $(sha256sum "$archive" | cut -d' ' -f1)  $(basename "$archive")"
