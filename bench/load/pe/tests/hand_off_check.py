#!/usr/bin/env python3
"""The x86-64 bench, given a DLL, runs the wrapper named by GAUGEBENCH_WRAPPER with GAUGEBENCH_ARCH=i386 and the
same arguments; and with neither a wrapper nor a 32-bit build beside it, says how to build one, exit code 2.

Usage: hand_off_check.py GAUGEBENCH DLL WORK_DIR
"""
import os
import shutil
import subprocess
import sys


def main():
    bench, dll, work = sys.argv[1:]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    failures = []

    # A stand-in wrapper that writes down how it was called.
    record = os.path.join(work, "called.txt")
    wrapper = os.path.join(work, "wrapper.sh")
    with open(wrapper, "w") as f:
        f.write(f'#!/bin/sh\necho "$GAUGEBENCH_ARCH $*" > {record}\nexit 7\n')
    os.chmod(wrapper, 0o755)
    env = dict(os.environ, GAUGEBENCH_WRAPPER=wrapper)
    run = subprocess.run([bench, "inspect", dll], env=env, capture_output=True, text=True)
    called = open(record).read().strip() if os.path.exists(record) else "(not called)"
    if run.returncode != 7 or called != f"i386 inspect {dll}":
        failures.append(f"through the wrapper: exit {run.returncode}, wrapper saw '{called}'")

    # A copy of the bench in a build folder with no 32-bit build beside it.
    lonely = os.path.join(work, "build", "linux-x64", "bench", "cli")
    os.makedirs(lonely)
    shutil.copy(bench, lonely)
    env = {k: v for k, v in os.environ.items() if k != "GAUGEBENCH_WRAPPER"}
    run = subprocess.run([os.path.join(lonely, os.path.basename(bench)), "inspect", dll], env=env,
                         capture_output=True, text=True)
    said = run.stderr.strip()
    if run.returncode != 2 or len(said.splitlines()) != 1 or "cmake --preset linux-i386" not in said:
        failures.append(f"with no 32-bit bench: exit {run.returncode}, said: {said}")

    for failure in failures:
        print(failure)
    print("hand-off checked" if not failures else "")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
