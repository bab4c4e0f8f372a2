#!/usr/bin/env python3
"""A shipped DLL and its Linux twin through every built-in scenario: the same events, texts, host calls,
pictures and sound track, byte for byte.

Usage: compare_twins.py DLL TWIN SCENARIO_DIR OUT_DIR -- BENCH_COMMAND...
"""
import os
import shutil
import subprocess
import sys


def main():
    split = sys.argv.index("--")
    dll, twin, scenarios, out = sys.argv[1:split]
    bench = sys.argv[split + 1:]
    if not os.path.isfile(dll):
        print(f"{dll}: missing; build the Windows DLLs first (cmake --preset win32 && cmake --build --preset win32)")
        return 1
    failures = []
    # Each gauge's own flight; the panel's flight needs a panel.
    for scenario in sorted(f for f in os.listdir(scenarios) if f.endswith(".txt") and f != "panel.txt"):
        outputs = {}
        for label, module in (("dll", dll), ("twin", twin)):
            folder = os.path.join(out, os.path.splitext(scenario)[0], label)
            shutil.rmtree(folder, ignore_errors=True)
            run = subprocess.run(bench + ["run", module, os.path.join(scenarios, scenario), "--out", folder],
                                 capture_output=True, text=True)
            if run.returncode != 0:
                failures.append(f"{scenario}: {label} exited {run.returncode}: {run.stderr.strip()}")
            # report.html names the module file, so it differs; everything else the run writes must not.
            outputs[label] = {name: open(os.path.join(folder, name), "rb").read()
                              for name in sorted(os.listdir(folder)) if name != "report.html"}
        names = set(outputs["dll"]) | set(outputs["twin"])
        for name in sorted(names):
            if outputs["dll"].get(name) != outputs["twin"].get(name):
                failures.append(f"{scenario}: {name} differs" if name in outputs["dll"] and name in outputs["twin"]
                                else f"{scenario}: {name} written by only one of them")
        print(f"{scenario}: {len(names)} files compared")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
