#!/usr/bin/env python3
"""Runs `gaugebench demo` and reads back what it wrote: the index, and for every module that is built its
pictures (PNG headers), its JSON lines, and the events and texts its built-in scenario must produce.

Usage: demo_check.py OUT SCENARIO_DIR "BUILT MODULES" [DEMO OPTION...] -- [EMULATOR] GAUGEBENCH
"""
import json
import os
import shutil
import struct
import subprocess
import sys

G, R, W = "0x0000FF00", "0x000000FF", "0x00FFFFFF"

# (frame, event, value) in the order sent, as the gauges' tables give them for each built-in scenario.
EVENTS = {
    "zorlet": [],
    "brimmet": [(56, 65657, 0), (57, 65658, 0), (58, 65659, 0), (59, 65660, 0), (59, 65660, 0), (78, 65661, 0),
                (150, 65790, 0), (150, 65789, 0)],
    # Each trim step reads the trim the simulator left: -512, -1024, then a held step repeated twice.
    "quandle": [(2, 65706, -512), (3, 65706, -1024), (3, 65706, -1536), (3, 65706, -2048), (4, 65758, 0),
                (6, 65820, 8481), (6, 65821, 8481), (7, 65820, 16191), (7, 65821, 16191), (8, 65821, 16384),
                (9, 65759, 0), (10, 65820, 11051), (10, 65821, 11051), (10, 65706, 0), (11, 65758, 0),
                (12, 65758, 0), (12, 66066, 0), (13, 65820, 3341), (13, 65821, 3341), (13, 65706, 512),
                (14, 65820, 0), (14, 65821, 0), (14, 66064, 0)] + [(14, 65758, 0)] * 6 +
               [(15, 65820, -4096), (15, 65821, -4096), (16, 65820, 0), (16, 65821, 0), (16, 66065, 0)] +
               [(16, 65759, 0)] * 8 + [(16, 65706, 0)],
    "fennick": [(2, 65907, 1), (3, 65908, 1), (4, 65910, 1), (5, 65907, 0), (5, 65912, 1), (6, 65911, 1),
                (6, 65908, 0), (7, 65910, 0), (7, 65911, 0), (7, 65912, 0)],
}

# The panel flight: (frame, gauge, event, value) in the order sent.
PANEL_EVENTS = (
    [(1, "fennick", 65907, 1), (1, "fennick", 65910, 1)] + [(f, "quandle", 65758, 0) for f in (14, 16, 18)] +
    [(22, "quandle", 65706, -512), (22, "quandle", 65706, -1024), (30, "quandle", 65820, 8481),
     (30, "quandle", 65821, 8481), (32, "quandle", 65820, 16191), (32, "quandle", 65821, 16191),
     (42, "quandle", 65759, 0), (54, "quandle", 65759, 0), (54, "quandle", 65759, 0),
     (58, "quandle", 65820, 11051), (58, "quandle", 65821, 11051), (58, "quandle", 65706, 0),
     (58, "fennick", 65908, 1), (70, "quandle", 65758, 0), (70, "quandle", 65758, 0)] +
    [(78, "quandle", 65758, 0)] * 6 +
    [(82, "quandle", 66066, 0), (82, "brimmet", 65660, 0), (86, "quandle", 65820, 0), (86, "quandle", 65821, 0),
     (90, "quandle", 66064, 0), (96, "quandle", 66065, 0), (96, "fennick", 65908, 0)])

# The checklist on the panel, following what the quadrant's events did: frame -> {line: (text, colour)}.
PANEL_CHECKLIST = {
    10: {1: ("BEFORE T/O CHECK", G), 4: ("FLAPS - POS. 3", R)},
    18: {4: ("FLAPS - POS. 3", G)},  # three flap clicks: flaps at 6144
    26: {1: ("TAKEOFF CHECK", G), 2: ("BRAKES - SET", G)},
    32: {2: ("BRAKES - RELEASE", R)},  # the throttles pushed past 15000, the brakes still set
    36: {2: ("BRAKES - RELEASE", G)},
    96: {3: ("THROTTLE - ADJUST", G)},
}

# The checklist's lines after some of its cycles: frame -> {line: (text, colour)}.
CHECKLIST = {
    1: {k: ("", W) for k in range(1, 6)},
    2: {1: ("BEFORE T/O CHECK", G), 2: ("ATIS - CHECK", G), 3: ("RADIO CALL - MAKE", G), 4: ("FLAPS - POS. 3", R),
        5: ("TAXI", G)},
    3: {4: ("FLAPS - POS. 3", G)},
    4: {1: ("TAKEOFF CHECK", G), 2: ("BRAKES - SET", G), 3: ("FLAPS - POS. 3", G), 4: ("GEAR - DOWN", G),
        5: ("POWER - ADJUST", G)},
    5: {2: ("BRAKES - RELEASE", R)},
    6: {2: ("BRAKES - RELEASE", G)},
    8: {3: ("FLAPS - POS. 2", R)},
    9: {3: ("FLAPS - POS. 2", G)},
    10: {4: ("GEAR - UP", R)},
    11: {4: ("GEAR - UP", G)},
    12: {3: ("FLAPS - UP", R)},
    13: {3: ("FLAPS - UP", G)},
    14: {1: ("CRUISE CHECK", G), 2: ("POWER - ADJUST", G), 3: ("CRUISE DATA", G), 4: ("FUEL - 16000", G),
         5: ("RANGE - 5748", G)},
    15: {4: ("FUEL - 12000", G), 5: ("RANGE - 3201", G)},
    16: {4: ("FUEL - 7000", G), 5: ("RANGE - 17", G)},
    17: {1: ("APPROACH CHECK", G), 2: ("FLAPS - UP", G), 3: ("GEAR - UP", G), 4: ("SPOILERS - DISARMED", G),
         5: ("ATIS - CHECK", G)},
    18: {2: ("FLAPS - POS. 2", R)},
    19: {2: ("FLAPS - POS. 2", G)},
    20: {2: ("FLAPS - POS. 3", R), 3: ("GEAR - DOWN", R), 4: ("SPOILERS - ARMED", R)},
    21: {2: ("FLAPS - FULL DOWN", R), 3: ("GEAR - DOWN", G)},
    22: {2: ("FLAPS - FULL DOWN", G)},
    23: {4: ("SPOILERS - ARMED", G)},
    24: {1: ("LANDING CHECK", G), 2: ("BRAKES - APPLY", G), 3: ("SPOILERS - DEPLOY", R), 4: ("TAXI", G), 5: (" ", G)},
    25: {3: ("SPOILERS - DEPLOY", G)},
    26: {3: ("SPOILERS - RETRACT", R)},
    27: {3: ("THROTTLE - ADJUST", G)},
}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def frames_in(scenario_text):
    count = 0
    for line in scenario_text.splitlines():
        words = line.split("#", 1)[0].split()
        if words and words[0] == "frame":
            count += int(words[1]) if len(words) > 1 else 1
    return count


def json_lines(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            try:
                rows.append(json.loads(line))
            except ValueError as e:
                check(False, f"{path}:{number}: not JSON ({e}): {line!r}")
    return rows


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(33)
    if not check(head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", f"{path}: not a PNG"):
        return None
    width, height, depth, colour = struct.unpack(">IIBB", head[16:26])
    check(depth == 8 and colour == 2, f"{path}: {depth}-bit colour type {colour}, expected 8-bit RGB")
    return width, height


def check_module(out, name, scenario_dir):
    folder = os.path.join(out, name)
    with open(os.path.join(scenario_dir, name + ".txt"), encoding="utf-8") as f:
        scenario = f.read()
    with open(os.path.join(folder, "scenario.txt"), encoding="utf-8") as f:
        check(f.read() == scenario, f"{name}: scenario.txt differs from bench/scenarios/{name}.txt")
    check(os.path.isfile(os.path.join(folder, "report.html")), f"{name}: no report.html")

    frames = frames_in(scenario)
    pictures = sorted(p for p in os.listdir(folder) if p.startswith("frame-") and p.endswith(".png"))
    check(pictures == [f"frame-{n:04d}.png" for n in range(1, frames + 1)],
          f"{name}: pictures {pictures[:3]}... ({len(pictures)}), expected {frames}")
    sizes = {png_size(os.path.join(folder, p)) for p in pictures}
    check(len(sizes) == 1, f"{name}: pictures of different sizes {sizes}")

    events = json_lines(os.path.join(folder, "events.jsonl"))
    got = [(e.get("frame"), e.get("event"), e.get("value")) for e in events]
    check(got == EVENTS[name], f"{name}: events\n  got      {got}\n  expected {EVENTS[name]}")

    texts = json_lines(os.path.join(folder, "text.jsonl"))
    for t in texts:
        check(set(t) == {"frame", "element", "text", "fore_colour"}, f"{name}: text line {t}")
    calls = json_lines(os.path.join(folder, "calls.jsonl"))
    check(calls and calls[0]["frame"] == 1 and calls[-1]["service"] == "kill_elements", f"{name}: calls.jsonl ends")
    for c in calls:
        check(not any(a.startswith("0x") for a in c["arguments"]), f"{name}: an address in {c}")
    check([c["frame"] for c in calls] == sorted(c["frame"] for c in calls), f"{name}: calls out of frame order")

    if name == "zorlet":
        lines = {(t["frame"], t["element"]): (t["text"], t["fore_colour"]) for t in texts}
        check(len(texts) == 5 * frames, f"zorlet: {len(texts)} text lines, expected five a frame")
        for frame, expected in CHECKLIST.items():
            for line, (text, colour) in expected.items():
                got_text, got_colour = lines.get((frame, line), (None, None))
                # Every line holds 19 characters, the longest text the checklist writes: nothing is cut.
                check(got_text == text and got_colour == colour,
                      f"zorlet frame {frame} line {line}: got {got_text!r} {got_colour}, expected {text!r} {colour}")
    if name == "fennick":
        # Every click plays the 314-frame click (stereo, 8 bits, 22050 a second), with silence between two.
        import wave
        try:
            with wave.open(os.path.join(folder, "sound.wav")) as w:
                shape = (w.getnchannels(), w.getsampwidth(), w.getframerate())
                check(shape == (2, 1, 22050), f"fennick: sound.wav is {shape}")
                clicks = len(EVENTS["fennick"])
                check(w.getnframes() >= clicks * 314, f"fennick: sound.wav holds {w.getnframes()} frames, "
                      f"fewer than {clicks} clicks of 314")
        except (OSError, wave.Error) as e:
            check(False, f"fennick: sound.wav: {e}")


def check_panel(out, scenario_dir):
    folder = os.path.join(out, "panel")
    for name, source in (("scenario.txt", "panel.txt"), ("panel.cfg", "panel.cfg")):
        with open(os.path.join(folder, name), encoding="utf-8") as f, \
                open(os.path.join(scenario_dir, source), encoding="utf-8") as g:
            check(f.read() == g.read(), f"panel: {name} differs from bench/scenarios/{source}")
    with open(os.path.join(scenario_dir, "panel.txt"), encoding="utf-8") as f:
        frames = frames_in(f.read())
    pictures = sorted(p for p in os.listdir(folder) if p.startswith("frame-") and p.endswith(".png"))
    check(len(pictures) == frames, f"panel: {len(pictures)} pictures, expected {frames}")
    check({png_size(os.path.join(folder, p)) for p in pictures} == {(740, 405)},
          "panel: the window is not 740 x 405, the far corner of its gauges")
    events = json_lines(os.path.join(folder, "events.jsonl"))
    got = [(e.get("frame"), e.get("gauge"), e.get("event"), e.get("value")) for e in events]
    check(got == PANEL_EVENTS, f"panel: events\n  got      {got}\n  expected {PANEL_EVENTS}")
    texts = json_lines(os.path.join(folder, "text.jsonl"))
    lines = {(t["frame"], t["element"]): (t["text"], t["fore_colour"]) for t in texts if t.get("gauge") == "zorlet"}
    for frame, expected in PANEL_CHECKLIST.items():
        for line, (text, colour) in expected.items():
            got_line = lines.get((frame, line))
            check(got_line == (text, colour), f"panel frame {frame} zorlet line {line}: got {got_line}, "
                                              f"expected {(text, colour)}")
    changes = json_lines(os.path.join(folder, "variables.jsonl"))
    check({"frame", "variable", "value", "cause"} == set(changes[0]), f"panel: variables line {changes[0]}")
    # The simulator carried out what the gauges sent: the throttles, the flaps, the clock's knob.
    for expected in [(32, 128, 16191, "event 65820"), (18, 328, 6144, "event 65758"), (82, 4, 1, "event 65660")]:
        check(expected in [(c["frame"], c["variable"], c["value"], c["cause"]) for c in changes],
              f"panel: no variable change {expected}")
    check(any(c["cause"] == "clock" for c in changes), "panel: the clock did not run")


def main():
    split = sys.argv.index("--")
    out, scenario_dir, built = sys.argv[1], sys.argv[2], sys.argv[3].split()
    command = sys.argv[split + 1:]
    options = sys.argv[4:split]
    shutil.rmtree(out, ignore_errors=True)
    run = subprocess.run(command + ["demo", "--out", out] + options, capture_output=True, text=True)
    all_built = len(built) == 4
    check(run.returncode == (0 if all_built else 1),
          f"exit code {run.returncode}, expected {0 if all_built else 1}\n{run.stdout}{run.stderr}")
    with open(os.path.join(out, "index.html"), encoding="utf-8") as f:
        index = f.read()
    check('href="panel/report.html"' in index, "index.html does not link panel/report.html")
    if all_built:
        check_panel(out, scenario_dir)
    for name in EVENTS:
        if name in built:
            check(f'href="{name}/report.html"' in index, f"index.html does not link {name}/report.html")
            check_module(out, name, scenario_dir)
        else:
            check("Not built" in index, f"index.html does not say {name} is not built")
    for failure in failures:
        print("FAILED:", failure)
    print(f"demo checked: built {built or 'none'}, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
