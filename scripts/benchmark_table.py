#!/usr/bin/env python3
"""Turns Google Benchmark's JSON into the README's table: one row per gauge."""
import json
import platform
import re
import sys

results = json.load(open(sys.argv[1]))
context = results["context"]
rows = {}
for b in results["benchmarks"]:
    kind, gauge = b["name"].split("/")[:2]
    unit = b.get("time_unit", "ns")
    scale = {"ns": 1, "us": 1e3, "ms": 1e6}[unit]
    rows.setdefault(gauge, {})[kind] = b["real_time"] * scale


def cell(ns, unit):
    if ns is None:
        return "—"
    return f"{ns / 1e6:.3f} ms" if unit == "ms" else f"{ns:,.0f} ns"


cpu = "unknown processor"
try:
    for line in open("/proc/cpuinfo"):
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
except OSError:
    pass
lines = [
    "<!-- benchmarks -->",
    f"Measured on {cpu}, {context.get('num_cpus')} cores, {platform.system()} {platform.release()}, "
    f"release x86-64 build, {context.get('date', '')[:10]}.",
    "",
    "| Gauge | Host cycle (update, generate, draw; drawing excluded) | Handler call | Drawn frame |",
    "|---|---|---|---|",
]
for gauge, r in rows.items():
    lines.append(f"| `{gauge}` | {cell(r.get('host_cycle'), 'ns')} | {cell(r.get('handler_call'), 'ns')} | "
                 f"{cell(r.get('drawn_frame'), 'ms')} |")
lines.append("<!-- /benchmarks -->")
readme = open(sys.argv[2]).read()
table = "\n".join(lines)
if "<!-- benchmarks -->" in readme:
    readme = re.sub(r"<!-- benchmarks -->.*<!-- /benchmarks -->", lambda m: table, readme, flags=re.S)
else:
    readme += "\n" + table + "\n"
open(sys.argv[2], "w").write(readme)
