#!/usr/bin/env python3
"""The Windows builds of the tools say what the Linux builds say: each case runs both, under Wine
with a Russian locale, and compares exit status, standard output and standard error as text.
Windows output redirected to a file is checked twice: in the console's code page (cp866 on a
Russian system) with CRLF line ends, and in UTF-8 with --utf8. Where the platform's conversions
read an input otherwise than the portable ones, the case gives the Windows answer. With --tmux,
the tool also runs in a real terminal, where it writes through the console.

Usage: tools_test.py WINE WIN_BUILD LINUX_BUILD SOURCE_ROOT WORK_DIR [--tmux]"""
import os
import pathlib
import shutil
import subprocess
import sys
import time

wine, win_build, linux_build, root, work = (pathlib.Path(a).resolve() for a in sys.argv[1:6])
tmux = "--tmux" in sys.argv[6:]
env = dict(os.environ, LC_ALL="ru_RU.UTF-8", WINEDEBUG="-all")
failures = 0


def check(what, ok, detail=""):
    global failures
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures += 1
        if detail:
            print(detail)


def run(command, cwd):
    r = subprocess.run(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    return r.returncode, r.stdout, r.stderr


# A day file under a Cyrillic name, and a malformed one, beside each build's output.
linux_dir, win_dir = work / "linux", work / "windows"
for d in (linux_dir, win_dir):
    shutil.rmtree(d, ignore_errors=True)
    d.mkdir(parents=True)
    shutil.copy(root / "sim/data/sample-day.json", d / "День 09.12.json")
    shutil.copy(root / "sim/data/failing-day.json", d / "failing-day.json")
    (d / "broken.json").write_text('{\n "date": "09.12.2026",\n "items": [\n', encoding="utf-8")

TEXT = "000056000292000168001376001056005568001024"  # 1 2 3 4 5 6 7 under the built-in key
ZEROS = "000002000008000024000064000160000384000896"  # 1 2 3 4 5 6 7 under the key 0000000
# (tool, arguments, what the Windows build prints instead, where the platform reads otherwise)
cases = [
    ("schedule", ["encode", "1", "2", "3", "4", "5", "6", "7"], None),
    ("schedule", ["decode", TEXT], None),
    ("schedule", ["encode", "--key", "0000000", "1", "2", "3", "4", "5", "6", "7"], None),
    ("schedule", ["decode", "--key", "0000000", ZEROS], None),
    ("schedule", ["encode", "--key", "3141592", "10", "0", "25", "0", "5", "0", "1"], None),
    ("schedule", ["decode", "--key", "3141592", "000082000056000528000240002048005888000384"], None),
    ("schedule", ["encode", "--key", "0000000", "0", "0", "0", "0", "0", "0", "0"], None),  # the empty text
    ("schedule", ["decode", ""], None),
    ("schedule", ["encode", "1", "2", "-50", "4", "5", "6", "7"], None),  # error 5: negative
    ("schedule", ["encode", "1", "2", "3", "4", "5", "6", "7813"], None),  # error 5: too long
    ("schedule", ["encode", "1", "2", "три", "4", "5", "6", "7"], None),  # error 13, Cyrillic argument
    ("schedule", ["encode", "1", "1e10", "3", "4", "5", "6", "7"], None),  # error 6
    ("schedule", ["decode", TEXT[:30]], None),  # error 13 after five days
    ("schedule", ["decode", "--key", "12", TEXT], None),  # a bad key
    ("schedule", ["decode", "--key", "27a8281", TEXT], None),
    ("schedule", ["encode", "1", "2"], None),  # wrong usage: status 2
    ("schedule", [], None),
    ("schedule", ["--help"], None),
    ("schedule", ["decode", "--utf8", TEXT], None),
    # The platform's conversions with a Russian locale: a decimal comma, rounded to even, and
    # grouped digits; a decimal point is no number there.
    ("schedule", ["encode", "2,5", "2", "3", "4", "5", "6", "7"], (0, "000058000292000168001376001056005568001024\n", "")),
    ("schedule", ["encode", "1 000", "2", "3", "4", "5", "6", "7"], (0, "002054000292000168001376001056005568001024\n", "")),
    ("schedule", ["encode", "2.5", "2", "3", "4", "5", "6", "7"],
     (1, "", 'schedule: ошибка 13 (несоответствие типа): количество дня Понедельник "2.5" не число\n')),
    ("preview", ["--day", "День 09.12.json", "--out", "лист.html"], None),
    ("preview", ["--day", "День 09.12.json", "--date", "10.12.2026", "--out", "лист 10.html"], None),
    ("preview", ["--day", "failing-day.json", "--out", "сбой.html"], None),  # status 1, the failure's line
    ("preview", ["--day", "broken.json", "--out", "x.html"], None),
    ("preview", ["--day", "нет такого.json", "--out", "x.html"], None),
    ("preview", ["--day", "День 09.12.json", "--date", "31.02.2026", "--out", "x.html"], None),
    ("preview", ["--day", "День 09.12.json"], None),
    ("preview", ["--help"], None),
]


def text(b):
    return b.decode("utf-8")


for tool, args, windows_answer in cases:
    name = f"{tool} {' '.join(args)}"[:90]
    linux = run([str(linux_build / tool)] + args, linux_dir)
    utf8 = run([str(wine), str(win_build / f"{tool}.exe")] + args + ["--utf8"], win_dir)
    console_cp = run([str(wine), str(win_build / f"{tool}.exe")] + args, win_dir)
    expected = (linux[0], text(linux[1]), text(linux[2])) if windows_answer is None else windows_answer
    if windows_answer is not None:
        check(f"{name}: the portable rules read it otherwise ({linux[0]}: {text(linux[1] + linux[2]).strip()})",
              (linux[0], text(linux[1]), text(linux[2])) != windows_answer)
    plain = "utf-8" if "--utf8" in args else "cp866"
    for how, (status, out, err), codec in (("UTF-8", utf8, "utf-8"), (plain, console_cp, plain)):
        got = (status, out.decode(codec).replace("\r\n", "\n"), err.decode(codec).replace("\r\n", "\n"))
        crlf = all(b.count(b"\n") == b.count(b"\r\n") for b in (out, err))
        check(f"{name} [{how}]", got == expected and crlf, f"  Linux:   {expected}\n  Windows: {got} (CRLF: {crlf})")
    if tool == "preview" and linux[0] in (0, 1) and "--out" in args:
        page = args[args.index("--out") + 1]
        lp, wp = linux_dir / page, win_dir / page
        check(f"{name}: the same page", lp.exists() == wp.exists() and (not lp.exists() or lp.read_bytes() == wp.read_bytes()))

# On a console the tool writes through WriteConsoleW: the day names show right even with --utf8,
# whose bytes a console in cp866 would show wrong if they were written as bytes.
if tmux:
    session = f"tools-{os.getpid()}"
    out_file = work / "console.txt"
    command = (f"{wine} {win_build / 'schedule.exe'} decode --utf8 --key 0000000 {ZEROS}; echo status $?; sleep 60")
    subprocess.run(["tmux", "new-session", "-d", "-s", session, "-x", "100", "-y", "20",
                    f"env LC_ALL=ru_RU.UTF-8 WINEDEBUG=-all {command}"], check=True, env=env)
    screen = ""
    for _ in range(60):
        time.sleep(1)
        screen = subprocess.run(["tmux", "capture-pane", "-p", "-t", session], capture_output=True, text=True).stdout
        if "status" in screen:
            break
    subprocess.run(["tmux", "kill-session", "-t", session])
    out_file.write_text(screen, encoding="utf-8")
    lines = [line.rstrip() for line in screen.splitlines()]
    days = ["Понедельник 1", "Вторник     2", "Среда       3", "Четверг     4", "Пятница     5", "Суббота     6",
            "Воскресенье 7"]
    check("schedule.exe in a terminal shows the day names in columns", all(d in lines for d in days) and
          "status 0" in lines, screen)

print(f"tools: {len(cases)} cases; {failures} faults")
sys.exit(1 if failures else 0)
