#!/usr/bin/env python3
"""The preview of a day whose sheet fails half-way (a time slot with 40000 order rows, more than
a 16-bit number holds): status 1, the failure's line on standard error, the same line above the
sheet in the page, and the sheet as written up to the failure: the zones' header and the time
slots before the failing one.

Usage: preview_failing_day.py PREVIEW DAY.json OUT.html"""
import html
import re
import subprocess
import sys

preview, day, out = sys.argv[1:4]
run = subprocess.run([preview, "--day", day, "--out", out], capture_output=True, text=True)
line = ('Security.Выполнить(13): ошибка 6 (переполнение) при чтении "СтрокЗаявок" у часа 4')
page = open(out, encoding="utf-8").read()
shown = re.search(r'<p class="failure">(.*?)</p>', page)
checks = {
    "status 1": run.returncode == 1,
    "the line on standard error": run.stderr == line + "\n",
    "the line above the sheet": shown is not None and html.unescape(shown.group(1)) == line
                                and page.index('class="failure"') < page.index('class="sheet"'),
    # header, then slots 1 (2 rows), 2 (3 rows) and 3 (no rows of its own: the 3 before it)
    "the sheet up to the failure": page.count("<tr>") == 1 + 2 + 3 + 3,
}
for what, ok in checks.items():
    print(("ok   " if ok else "FAIL ") + what)
if not all(checks.values()):
    print(run.stdout, run.stderr, sep="\n")
sys.exit(0 if all(checks.values()) else 1)
