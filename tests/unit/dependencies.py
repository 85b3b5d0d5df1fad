#!/usr/bin/env python3
"""Dependencies run one way, down. A unit is a header with its source (host/rules.h and
host/rules.cpp are one unit); a unit depends on every unit whose header one of its files
includes. No two units may depend on each other, directly or through others, and no unit may
include one of a folder above its own: the folders read top-down in the order below (the
routines' folders side by side, settings beneath the three that read it).

Usage: dependencies.py <source root>"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1])
# From the bottom up; a unit may include its own folder's and those below.
layers = [["host"], ["settings"], ["schedule", "delivery", "invoices"], ["component"], ["component/com"],
          ["sim"], ["tools"]]
rank = {folder: i for i, names in enumerate(layers) for folder in names}

files = [p for folder in rank for p in (root / folder).glob("*") if p.suffix in (".h", ".cpp")]
unit_of = lambda p: p.relative_to(root).with_suffix("").as_posix()
folder_of = lambda unit: unit.rsplit("/", 1)[0]
known = {unit_of(p) for p in files}

graph = {u: set() for u in known}
for p in files:
    for inc in re.findall(r'^#include "([^"]+)"', p.read_text(encoding="utf-8"), re.M):
        target = (p.parent / inc).resolve() if inc.startswith(".") else (root / inc).resolve()
        try:
            unit = target.relative_to(root.resolve()).with_suffix("").as_posix()
        except ValueError:
            continue
        if unit in known and unit != unit_of(p):
            graph[unit_of(p)].add(unit)

failures = []
for unit, deps in sorted(graph.items()):
    for dep in sorted(deps):
        if rank[folder_of(dep)] > rank[folder_of(unit)]:
            failures.append(f"{unit} includes {dep}, a folder above its own")

# Units that reach each other: strongly connected components of more than one unit.
index, low, stack, on_stack, cycles, counter = {}, {}, [], set(), [], [0]
def visit(u):
    index[u] = low[u] = counter[0]
    counter[0] += 1
    stack.append(u)
    on_stack.add(u)
    for v in graph[u]:
        if v not in index:
            visit(v)
            low[u] = min(low[u], low[v])
        elif v in on_stack:
            low[u] = min(low[u], index[v])
    if low[u] == index[u]:
        component = []
        while True:
            v = stack.pop()
            on_stack.discard(v)
            component.append(v)
            if v == u:
                break
        if len(component) > 1:
            cycles.append(sorted(component))
sys.setrecursionlimit(10000)
for u in sorted(graph):
    if u not in index:
        visit(u)
for c in cycles:
    failures.append("units that depend on each other: " + ", ".join(c))

for f in failures:
    print("FAIL", f)
edges = sum(len(d) for d in graph.values())
print(f"dependencies: {len(graph)} units, {edges} dependencies between them; {len(failures)} faults")
sys.exit(1 if failures else 0)
