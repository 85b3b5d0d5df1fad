#!/usr/bin/env python3
"""The delivery sheet page opens in headless Chromium and shows the day's grid: one header
section per zone, one table row per sheet row of each time slot, and as many posted cells as
the day has posted invoices that find a cell. The expected numbers come from the day file.

Usage: sheet_dom_test.py SHEET.html DAY.json
"""
import json
import re
import subprocess
import sys
import tempfile

html, day_file = sys.argv[1], sys.argv[2]
day = json.load(open(day_file, encoding="utf-8"))

with tempfile.TemporaryDirectory() as profile:
    dom = subprocess.run(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--user-data-dir=" + profile, "--dump-dom", "file://" + html],
        capture_output=True, text=True, timeout=120).stdout

# Sheet rows per time slot: a slot's own row count, or the last one set before it.
rows = int(day["settings"]["orderRows"])
slot_rows = {}
for slot in sorted(day["slots"], key=lambda s: s["code"]):
    rows = slot.get("rows") or rows
    slot_rows[slot["code"]] = max(rows, 0)

# Posted invoices that find a cell: those of the day, not marked for deletion, each in its own
# slot and zone, while the slot has rows left in that zone's column.
zone_codes = {z["code"] for z in day["zones"]}
taken, posted = {}, 0
for inv in sorted((i for i in day["invoices"] if i["date"] == day["date"] and not i.get("deleted")),
                  key=lambda i: (i.get("slot", -1), i.get("zone", -1), i["number"])):
    key = (inv.get("slot"), inv.get("zone"))
    if key[0] not in slot_rows or key[1] not in zone_codes or taken.get(key, 0) >= slot_rows[key[0]]:
        continue
    taken[key] = taken.get(key, 0) + 1
    posted += bool(inv.get("posted"))

found = {
    "zone columns": len(re.findall(r'data-section="Шапка\|Столбец"', dom)),
    "sheet rows": dom.count("<tr>") - 1,
    "posted cells": len(re.findall(r'data-area="Документ" data-color="14745568"', dom)),
}
expected = {"zone columns": len(day["zones"]), "sheet rows": sum(slot_rows.values()), "posted cells": posted}
failures = 0
for what in expected:
    ok = found[what] == expected[what]
    failures += not ok
    print(("ok   " if ok else "FAIL ") + f"{what}: {found[what]} (expected {expected[what]})")
sys.exit(failures)
