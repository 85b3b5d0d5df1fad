#!/usr/bin/env python3
"""The release archive as the platform's people open it on Windows: every name plain ASCII (the
zip folder of Windows reads names in the OEM code page), the checksums holding after extraction
by Python's zipfile and by unzip, the texts with CRLF line ends and a BOM where they are not
ASCII, and the guide page showing its Cyrillic headings in headless Chromium (a screenshot is
kept in OUT).

Usage: archive_test.py ARCHIVE.zip GUIDE.md OUT
"""
import hashlib
import html
import pathlib
import re
import subprocess
import sys
import tempfile
import zipfile

archive, guide_md, out = sys.argv[1], pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
out.mkdir(parents=True, exist_ok=True)
failures = 0


def check(what, ok, detail=""):
    global failures
    failures += not ok
    print(("ok   " if ok else "FAIL ") + what + (f": {detail}" if detail and not ok else ""))


with zipfile.ZipFile(archive) as z:
    names = z.namelist()
    check("every name in the archive is plain ASCII", all(n.isascii() for n in names),
          ", ".join(n for n in names if not n.isascii()))
    tops = {n.split("/")[0] for n in names}
    check("one top folder", len(tops) == 1, str(tops))
    top = tops.pop()
    expected = {f"{top}/{n}" for n in ("AddIn.dll", "x64/AddIn.dll", "guide-ru.html", "CHANGELOG.txt", "SHA256SUMS",
                                       "tools/schedule.exe", "tools/preview.exe", "tools/sample-day.json")}
    check("it holds the two DLLs, the tools, the guide page, the changelog and the checksums", set(names) == expected,
          str(sorted(names)))


def sums_hold(folder):
    """Whether every line of SHA256SUMS names an extracted file with that checksum."""
    text = (folder / "SHA256SUMS").read_bytes().decode("ascii")
    lines = text.split("\r\n")
    listed = 0
    for line in filter(None, lines):
        digest, name = line.split("  ", 1)
        if hashlib.sha256((folder / name).read_bytes()).hexdigest() != digest:
            return False
        listed += 1
    return listed == 7 and text.endswith("\r\n")


with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
    with zipfile.ZipFile(archive) as z:
        z.extractall(a)
    check("checksums hold after extraction by Python's zipfile", sums_hold(pathlib.Path(a) / top))
    subprocess.run(["unzip", "-q", archive, "-d", b], check=True)
    check("checksums hold after extraction by unzip", sums_hold(pathlib.Path(b) / top))
    ok = subprocess.run(["sha256sum", "--quiet", "-c", "SHA256SUMS"], cwd=pathlib.Path(b) / top).returncode == 0
    check("sha256sum -c agrees", ok)

    folder = pathlib.Path(a) / top
    for name in ("guide-ru.html", "CHANGELOG.txt", "SHA256SUMS", "tools/sample-day.json"):
        data = (folder / name).read_bytes()
        body = data[3:] if data.startswith(b"\xef\xbb\xbf") else data
        check(f"{name}: CRLF line ends only", body.count(b"\n") == body.count(b"\r\n") > 0)
        check(f"{name}: a BOM exactly where the text is not ASCII", data.startswith(b"\xef\xbb\xbf") == (not body.isascii()))
        body.decode("utf-8")

    page = folder / "guide-ru.html"
    source = page.read_text(encoding="utf-8-sig")
    check("guide page: the character set in a meta tag",
          re.search(r'<meta http-equiv="Content-Type" content="text/html; charset=utf-8">', source) is not None)
    check("guide page: no script", "<script" not in source.lower())
    check("guide page: tables rendered", "<table>" in source and "|---|" not in source)

    headings = [h.strip() for h in re.findall(r"^#{1,3} (.+)$", guide_md.read_text(encoding="utf-8"), re.M)]
    flags = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync"]
    with tempfile.TemporaryDirectory() as profile:
        dom = subprocess.run(["chromium", *flags, "--user-data-dir=" + profile, "--dump-dom", page.as_uri()],
                             capture_output=True, text=True, timeout=300).stdout
    with tempfile.TemporaryDirectory() as profile:
        subprocess.run(["chromium", *flags, "--user-data-dir=" + profile, "--window-size=1024,1400",
                        "--screenshot=" + str(out / "guide-ru.png"), page.as_uri()],
                       capture_output=True, timeout=300)
    shown = [re.sub(r"<[^>]+>", "", html.unescape(h)).strip() for h in re.findall(r"<h[123]>(.*?)</h[123]>", dom, re.S)]
    plain = [re.sub(r"`", "", h) for h in headings]
    check(f"guide page in Chromium: its {len(plain)} headings, Cyrillic as written", shown == plain and len(plain) > 5,
          f"{shown[:3]} ... against {plain[:3]} ...")
    check("guide page in Chromium: a screenshot", (out / "guide-ru.png").stat().st_size > 10000)

print(f"archive: {failures} faults")
sys.exit(1 if failures else 0)
