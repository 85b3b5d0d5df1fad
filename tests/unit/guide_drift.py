#!/usr/bin/env python3
"""The guide for the platform's programmers cannot drift from the code: every name it quotes in
backticks (outside example blocks) occurs in the component's sources, every operation code it
names is one the dispatcher knows and every one the dispatcher knows has its section, and every
error number and failure status it quotes is one the component raises; and the installation
names are the DLL's own: the extension name in СоздатьОбъект, string 100, the class identifier,
the scopes of DllInstall and the files of the release archive. With the tools' Linux builds
given, every example of the tools' section is run and must print what the guide shows, word for
word, and every message the tools and the day file reader have is in the guide.

Usage: guide_drift.py <guide.md> <source root> [<schedule> <preview>]"""
import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

guide_path, root = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
tools = {name: pathlib.Path(path).resolve() for name, path in zip(("schedule", "preview"), sys.argv[3:5])}
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

# Installation: the names the platform's loader and the users meet.
extension = re.search(r'kExtensionName = u"([^"]+)"', (root / "component/addin.cpp").read_text(encoding="utf-8")).group(1)
for name in re.findall(r'СоздатьОбъект\("AddIn\.([^"]+)"\)', guide):
    if name != extension:
        failures.append(f'СоздатьОбъект("AddIn.{name}"): the component registers its extension as "{extension}"')
rc = (root / "component/com/AddIn.rc").read_text(encoding="utf-8")
objects = re.search(r'^\s*100 "([^"]*)"', rc, re.M).group(1)
for name in re.findall(r"строк\w* 100[^`]*`([^`]+)`", prose):
    if name != objects:
        failures.append(f"string 100 is quoted as `{name}`; the DLL's is `{objects}`")
coclass = re.search(r"uuid\(([0-9A-F-]+)\)\]\s*coclass", (root / "component/com/AddIn.idl").read_text()).group(1)
for clsid in re.findall(r"CLSID\\\{([0-9A-Fa-f-]+)\}", guide):
    if clsid.upper() != coclass:
        failures.append(f"CLSID {{{clsid}}} is not the class's {{{coclass}}}")
words = set(re.findall(r'IsWord\(scope, L"(\w+)"\)', (root / "component/com/registration.cpp").read_text()))
for word in re.findall(r"/i:(\w+)", guide):
    if word not in words:
        failures.append(f"/i:{word} is no scope DllInstall knows ({sorted(words)})")
package = (root / "scripts/package.sh").read_text(encoding="utf-8")
shipped = set(re.search(r"^files=\(([^)]*)\)", package, re.M).group(1).split()) | {"SHA256SUMS"}
section = re.search(r"^### Что в архиве\n(.*?)^###", guide, re.M | re.S).group(1)
listed = set(re.findall(r"^\| ([^ |]+) \|", section, re.M)) - {"Файл"}
if listed != shipped:
    failures.append(f"the archive's files are listed as {sorted(listed)}; package.sh ships {sorted(shipped)}")

# Failure descriptions: the error names the guide's examples give are the component's own.
names = dict((int(n), w) for n, w in re.findall(r'\{(\d+), u"([^"]+)"\}', (root / "host/failure.cpp").read_text(encoding="utf-8")))
examples = "\n".join(line for line in guide.splitlines() if "Security.Выполнить" in line)
for n, w in re.findall(r"ошибка (\d+) \(([^)]+)\)", examples):
    if names.get(int(n)) != w:
        failures.append(f"ошибка {n} ({w}): the component calls error {n} {names.get(int(n))!r}")
if not re.search(r"ошибка \d+ \(", examples):
    failures.append("the guide gives no example of a failure description")

# The tools: each example ("> tools\\name.exe arguments" and what it prints) run through the Linux
# build in a folder laid out as the archive is, standard output followed by standard error.
examples_run = 0
if tools:
    section = re.search(r"^## 11\..*?(?=^## |\Z)", guide, re.M | re.S).group(0)
    blocks = re.findall(r"^    > tools\\(\w+)\.exe(.*)\n((?:    .*\n)*)", section, re.M)
    with tempfile.TemporaryDirectory() as folder:
        os.mkdir(os.path.join(folder, "tools"))
        shutil.copy(root / "sim/data/sample-day.json", os.path.join(folder, "tools"))
        for name, arguments, shown in blocks:
            args = shlex.split(arguments.replace("\\", "/"))
            run = subprocess.run([str(tools[name])] + args, cwd=folder, capture_output=True, text=True)
            printed = (run.stdout + run.stderr).splitlines()
            expected = [line[4:] for line in shown.splitlines()]
            if printed != expected:
                failures.append(f"tools\\{name}.exe{arguments} prints {printed}, the guide shows {expected}")
            examples_run += 1
    # Every message of the tools and of the day file reader is in the guide.
    literals = []
    for source, call in (("tools/schedule_tool.cpp", r"(?:Fail|Write)\((.*)"), ("tools/console.cpp", r"runtime_error\((.*)"),
                         ("sim/model.cpp", r"(?:Fail|runtime_error)\((.*)")):
        for line in re.findall(call, (root / source).read_text(encoding="utf-8")):
            literals += [l.replace('\\"', '"').strip(' :\n') for l in re.findall(r'"((?:[^"\\]|\\.)*)"', line)]
    for text in {l for l in literals if re.search(r"[а-яё]", l)}:
        for part in text.split("\\n"):
            if part.strip(' :"') and part.strip(' :') not in guide:
                failures.append(f"the tools' message {part!r} is not in the guide")
    if len(blocks) < 10:
        failures.append(f"the tools' section has {len(blocks)} examples")

for f in failures:
    print("FAIL", f)
print(f"guide: {checked} quoted names and statuses, {len(quoted_codes)} operation codes, "
      f"{len(quoted_errors)} error numbers checked, {examples_run} tool examples run; {len(failures)} faults")
sys.exit(1 if failures else 0)
