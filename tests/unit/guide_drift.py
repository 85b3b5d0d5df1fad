#!/usr/bin/env python3
"""The guide for the platform's programmers cannot drift from the code: every name it quotes in
backticks (outside example blocks) occurs in the component's sources, every operation code it
names is one the dispatcher knows and every one the dispatcher knows has its section, and every
error number and failure status it quotes is one the component raises.

Usage: guide_drift.py <guide.md> <source root>"""
import pathlib
import re
import sys

guide_path, root = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
guide = guide_path.read_text(encoding="utf-8")
sources = "\n".join(
    p.read_text(encoding="utf-8", errors="replace")
    for folder in ("component", "host", "settings", "schedule", "delivery", "invoices")
    for p in (root / folder).rglob("*")
    if p.suffix in (".cpp", ".h", ".idl", ".rc"))
failures = []

# Example blocks (indented by four blanks) are the platform's language, not names of the code.
prose = "\n".join(line for line in guide.splitlines() if not line.startswith("    "))

errors = {int(n) for n in re.findall(r"k[A-Za-z]+ = (\d+),", (root / "host/runtime_error.h").read_text())}
table = (root / "component/dispatcher.cpp").read_text()
codes = {int(n) for n in re.findall(r"^    \{(\d+), \{\{\{", table, re.M)}
first, last = (int(float(n)) for n in re.search(r"kFirstSetting = (\d+), kLastSetting = (\d+)", table).groups())
codes |= set(range(first, last + 1))

checked = 0
for token in re.findall(r"`([^`\n]+)`", prose):
    if re.fullmatch(r"0x800A[0-9A-F]{4}", token):
        if int(token, 16) & 0xFFFF not in errors:
            failures.append(f"status {token} is no error the component raises")
    elif re.fullmatch(r"[A-Za-zА-Яа-яЁё0-9_|]+", token):
        if token not in sources:
            failures.append(f"name `{token}` does not occur in the code")
    checked += 1

quoted_codes, codes_with_section = set(), set()
for m in re.finditer(r"[Оо]пераци\w* (\d+)(?:(?:, | и |–)(\d+))*", prose):
    quoted_codes |= {int(n) for n in re.findall(r"\d+", m.group(0))}
for text in re.findall(r"^## \d+\..*?[Оо]пераци\w* ([\d, и–]+)", guide, re.M):
    numbers = [int(n) for n in re.findall(r"\d+", text)]
    sectioned = set(range(numbers[0], numbers[1] + 1)) if "–" in text else set(numbers)
    quoted_codes |= sectioned
    codes_with_section |= sectioned
for n in sorted(quoted_codes - codes):
    failures.append(f"operation {n} is not one the dispatcher knows")
for n in sorted(codes - codes_with_section):
    failures.append(f"operation {n} has no section of its own")

quoted_errors = {int(n) for n in re.findall(r"[Оо]шибк\w* (\d+)", prose)}
quoted_errors |= {int(n) for n in re.findall(r"^\| `0x800A[0-9A-F]{4}` \| (\d+),", guide, re.M)}
for n in sorted(quoted_errors - errors):
    failures.append(f"error {n} is no error the component raises")
for n in sorted(errors - quoted_errors):
    failures.append(f"error {n}, which the component raises, is not explained")

for f in failures:
    print("FAIL", f)
print(f"guide: {checked} quoted names and statuses, {len(quoted_codes)} operation codes, "
      f"{len(quoted_errors)} error numbers checked; {len(failures)} faults")
sys.exit(1 if failures else 0)
