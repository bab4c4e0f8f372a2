#!/usr/bin/env python3
"""The bench's outputs on the built-in flights, collected and compared.

    outputs.py collect DIR SCENARIOS_DIR -- BENCH...   runs the demo, each built-in scenario, inspect and log
    outputs.py compare BEFORE AFTER [--pixels]         says what differs between two collections

A collection holds demo/, run-NAME/ for each scenario, inspect-NAME.txt, log-NAME.txt and status.txt (the exit
codes). Compared: text files byte for byte; JSON lines as parsed values in the same key order (whitespace and
escape spelling may differ); pictures byte for byte, or as decoded pixels with --pixels (another encoder).
"""
import json
import os
import re
import struct
import subprocess
import sys
import zlib

def built_gauges(bench):
    """The gauges the bench's build made (gauges.txt at the top of its build folder)."""
    folder = os.path.dirname(os.path.abspath(bench[-1]))
    while folder != os.path.dirname(folder):
        listed = os.path.join(folder, "gauges.txt")
        if os.path.exists(listed):
            return open(listed).read().split()
        folder = os.path.dirname(folder)
    return ["zorlet", "brimmet", "quandle", "fennick"]  # builds from before the list was written


def collect(out_dir, scenarios_dir, bench):
    os.makedirs(out_dir, exist_ok=True)
    status = []

    def run(name, args, stdout_file=None):
        result = subprocess.run(bench + args, cwd=out_dir, capture_output=True)
        if stdout_file:
            # Where the build put the modules is not part of what is compared.
            text = re.sub(rb"/[^ \n]*/modules/", b"<build>/modules/", result.stdout)
            with open(os.path.join(out_dir, stdout_file), "wb") as f:
                f.write(text)
        status.append(f"{name}: {result.returncode}")

    run("demo", ["demo", "--out", "demo"])
    for module in built_gauges(bench):
        scenario = os.path.abspath(os.path.join(scenarios_dir, module + ".txt"))
        run(f"run {module}", ["run", module, scenario, "--out", f"run-{module}"])
        run(f"inspect {module}", ["inspect", module], f"inspect-{module}.txt")
        run(f"log {module}", ["log", module], f"log-{module}.txt")
    with open(os.path.join(out_dir, "status.txt"), "w") as f:
        f.write("\n".join(status) + "\n")


def png_pixels(path):
    """Width, height, colour type and the unfiltered rows of an 8-bit, non-interlaced PNG."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or interlace != 0 or colour not in (2, 6):
        raise ValueError(f"{path}: only 8-bit RGB or RGBA without interlace is read here")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - channels] if x >= channels else 0
            b = previous[x]
            c = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line) if channels == 3 else bytes(v for i, v in enumerate(line) if i % 4 != 3))
        previous = line
    return width, height, b"".join(rows)


def json_lines(path):
    with open(path, encoding="utf-8") as f:
        return [list(json.loads(line, object_pairs_hook=lambda pairs: pairs)) for line in f if line.strip()]


def compare(before, after, pixels):
    problems = []
    names = set()
    for root, base in ((before, "before"), (after, "after")):
        for folder, _, files in os.walk(root):
            for name in files:
                names.add(os.path.relpath(os.path.join(folder, name), root))
    for name in sorted(names):
        a, b = os.path.join(before, name), os.path.join(after, name)
        if not os.path.exists(a) or not os.path.exists(b):
            problems.append(f"{name}: only {'after' if os.path.exists(b) else 'before'}")
            continue
        if name.endswith(".jsonl") or name.endswith(".json"):
            loads = json_lines if name.endswith(".jsonl") else (lambda p: json.load(open(p), object_pairs_hook=list))
            if loads(a) != loads(b):
                problems.append(f"{name}: differs as JSON")
        elif name.endswith(".png") and pixels:
            if png_pixels(a) != png_pixels(b):
                problems.append(f"{name}: pixels differ")
        elif open(a, "rb").read() != open(b, "rb").read():
            problems.append(f"{name}: differs")
    for line in problems:
        print(line)
    print(f"{len(names)} files compared, {len(problems)} differ")
    return 1 if problems else 0


def main(argv):
    if len(argv) >= 5 and argv[1] == "collect" and argv[4] == "--":
        collect(argv[2], argv[3], argv[5:])
        return 0
    if len(argv) in (4, 5) and argv[1] == "compare":
        return compare(argv[2], argv[3], len(argv) == 5 and argv[4] == "--pixels")
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
