#!/usr/bin/env python3
"""Turns the DLL benchmarks' JSON (Google Benchmark, the 32-bit bench under qemu) into the README's second table:
one row per gauge, the DLL beside its Linux twin."""
import json
import re
import sys

results = json.load(open(sys.argv[1]))
context = results["context"]
rows = {}
for b in results["benchmarks"]:
    kind, build, gauge = b["name"].split("/")[:3]
    scale = {"ns": 1, "us": 1e3, "ms": 1e6}[b.get("time_unit", "ns")]
    rows.setdefault(gauge, {})[kind + "/" + build] = b["real_time"] * scale


def ms(ns):
    return "—" if ns is None else f"{ns / 1e6:.2f} ms"


def us(ns):
    return "—" if ns is None else f"{ns / 1e3:.2f} µs"


lines = [
    "<!-- windows-benchmarks -->",
    f"The DLLs in the 32-bit bench beside their Linux twins, release 32-bit build under qemu-i386-static, "
    f"{context.get('date', '')[:10]}.",
    "",
    "| Gauge | Load, DLL | Load, twin | Host cycle, DLL | Host cycle, twin | DLL ÷ twin |",
    "|---|---|---|---|---|---|",
]
for gauge, r in rows.items():
    dll, twin = r.get("host_cycle/dll"), r.get("host_cycle/twin")
    ratio = f"{dll / twin:.2f}×" if dll and twin else "—"
    lines.append(f"| `{gauge}` | {ms(r.get('load/dll'))} | {ms(r.get('load/twin'))} | {us(dll)} | {us(twin)} | "
                 f"{ratio} |")
lines.append("<!-- /windows-benchmarks -->")
readme = open(sys.argv[2]).read()
table = "\n".join(lines)
if "<!-- windows-benchmarks -->" in readme:
    readme = re.sub(r"<!-- windows-benchmarks -->.*<!-- /windows-benchmarks -->", lambda m: table, readme,
                    flags=re.S)
else:
    readme = readme.replace("<!-- /benchmarks -->", "<!-- /benchmarks -->\n\n" + table, 1)
open(sys.argv[2], "w").write(readme)
