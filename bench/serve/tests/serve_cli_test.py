#!/usr/bin/env python3
"""gaugebench serve as a person starts it: it prints its address, listens on loopback only, works the gauge over
HTTP, and ends with exit code 0 on SIGINT and on SIGTERM; bad arguments end it with 2 before it listens.

usage: serve_cli_test.py GAUGEBENCH TEST_GAUGE_PATH [MODULES_DIR GAUGE...]
With MODULES_DIR and the names of the gauges the build made, sessions on the real gauges are saved and replayed
by gaugebench run, which must send the same events and end on the same texts.
"""
import json
import os
import re
import signal
import subprocess
import sys
import time
import urllib.error
import urllib.request

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def start(bench, module, *extra):
    process = subprocess.Popen([bench, "serve", module, "--port", "0", *extra], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    line = process.stdout.readline()
    match = re.search(r"http://127\.0\.0\.1:(\d+)/", line)
    if not match:
        process.kill()
        raise SystemExit(f"no address in the first line: {line!r}; stderr: {process.stderr.read()}")
    return process, int(match.group(1))


def request(port, path, body=None):
    data = None if body is None else json.dumps(body).encode()
    req = urllib.request.Request(f"http://127.0.0.1:{port}{path}", data=data,
                                 headers={"Content-Type": "application/json"} if data else {})
    try:
        with urllib.request.urlopen(req, timeout=10) as reply:
            return reply.status, reply.read()
    except urllib.error.HTTPError as error:
        return error.code, error.read()


def listening_addresses(port):
    """Local addresses of the listening TCP sockets on `port`, from /proc/net/tcp and tcp6."""
    found = []
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            rows = open(table).read().splitlines()[1:]
        except OSError:
            continue
        for row in rows:
            fields = row.split()
            address, port_hex = fields[1].rsplit(":", 1)
            if int(port_hex, 16) == port and fields[3] == "0A":
                found.append(address)
    return found


def stop(process, sig):
    process.send_signal(sig)
    try:
        code = process.wait(timeout=15)
    except subprocess.TimeoutExpired:
        process.kill()
        code = None
    return code


# Sessions worked over HTTP, one per gauge: each step a POST, with host cycles running between them. Each
# session must send at least so many events and end with so many lines of text written.
REPLAYS = [
    ("quandle", 8, 0, [
        ("/api/variable", {"id": 318, "value": 1000}),
        ("/api/pointer", {"x": 2, "y": 2, "kind": "click"}),       # trim down
        ("/api/pointer", {"x": 2, "y": 2, "kind": "repeat", "count": 3}),
        ("/api/pointer", {"x": 80, "y": 40, "kind": "drag"}),      # lever 1
        ("/api/pointer", {"x": 120, "y": 10, "kind": "drag"}),     # both levers
        ("/api/pointer", {"x": 220, "y": -40, "kind": "click"}),   # a flap area
        ("/api/pointer", {"x": 2, "y": 62, "kind": "repeat"}),     # trim up
    ]),
    # The page key writes the take-off page's five lines; the speed and gear that follow recolour some items.
    ("zorlet", 0, 5, [
        ("/api/pointer", {"x": 142, "y": 345, "kind": "click"}),   # key 2
        ("/api/variable", {"id": 61, "value": 180}),
        ("/api/variable", {"id": 331, "value": 500}),
    ]),
]


def read_jsonl(path):
    with open(path) as f:
        return [json.loads(line) for line in f if line.strip()]


def colour_of(colorref):
    """A text.jsonl colour (0x00BBGGRR) as the page writes it (#rrggbb)."""
    value = int(colorref, 16)
    return f"#{value & 0xFF:02x}{(value >> 8) & 0xFF:02x}{(value >> 16) & 0xFF:02x}"


def replay_matches(bench, modules_dir, gauges):
    import tempfile
    check(gauges, "no gauge names after MODULES_DIR")
    # A gauge the build made but whose module is not there is a broken build, not a gauge to skip.
    for name in gauges:
        check(os.path.exists(os.path.join(modules_dir, name + ".so")), f"{name}: no module {name}.so in {modules_dir}")
    for name, events_at_least, text_lines, steps in REPLAYS:
        path = os.path.join(modules_dir, name + ".so")
        check(name in gauges, f"{name}: the build made no such gauge (gauges: {gauges}), so its session cannot run")
        if name not in gauges or not os.path.exists(path):
            continue  # a failure already
        process, port = start(bench, path)
        for url, body in steps:
            status, reply = request(port, url, body)
            check(status == 200, f"{name}: {url} {body}: {status} {reply[:200]}")
            time.sleep(0.15)
        time.sleep(0.3)
        _, body = request(port, "/api/state")
        timeline = list(reversed(json.loads(body)["timeline"]))
        _, scenario = request(port, "/api/scenario")
        stop(process, signal.SIGINT)
        sent = [(e["id"], e["value"]) for e in timeline if e["kind"] == "event"]
        texts = {}
        for e in timeline:
            if e["kind"] == "text":
                texts[e["line"]] = (e["text"], e["colour"])
        with tempfile.TemporaryDirectory() as folder:
            scenario_path = os.path.join(folder, "scenario.txt")
            with open(scenario_path, "wb") as f:
                f.write(scenario)
            out = os.path.join(folder, "out")
            run = subprocess.run([bench, "run", path, scenario_path, "--out", out], capture_output=True, text=True,
                                 timeout=600)
            check(run.returncode == 0, f"{name}: gaugebench run ended with {run.returncode}: {run.stderr[-2000:]}")
            if run.returncode != 0:
                continue
            replayed = [(e["event"], e["value"]) for e in read_jsonl(os.path.join(out, "events.jsonl"))]
            final = {}
            for e in read_jsonl(os.path.join(out, "text.jsonl")):
                final[e["element"]] = (e["text"], colour_of(e["fore_colour"]))
        # Lines never written stay empty: the run logs them, the session's timeline does not.
        written = {line: text for line, text in texts.items() if text[0]}
        final = {line: text for line, text in final.items() if text[0]}
        check(len(sent) >= events_at_least, f"{name}: the session sent only {sent}")
        check(len(written) == text_lines, f"{name}: the session wrote {written}, expected {text_lines} lines")
        check(replayed == sent, f"{name}: the replay sent {replayed}, the session {sent}")
        check(final == written, f"{name}: the replay ends on texts {final}, the session on {written}")
        print(f"{name}: replayed {len(replayed)} events and {len(final)} texts; the session had {len(sent)} and "
              f"{len(written)}")


def main():
    bench, module = sys.argv[1], sys.argv[2]
    modules_dir = sys.argv[3] if len(sys.argv) > 3 else None
    gauges = sys.argv[4:]

    process, port = start(bench, module)
    check(listening_addresses(port) == ["0100007F"],
          f"the server listens on {listening_addresses(port)}, expected 127.0.0.1 alone")
    status, body = request(port, "/api/gauge")
    check(status == 200 and json.loads(body)["name"] == "Test-Gauge", f"/api/gauge: {status} {body[:200]}")
    status, _ = request(port, "/api/variable", {"id": 304, "value": 6})
    check(status == 200, f"setting variable 304: {status}")
    time.sleep(0.3)  # a few host cycles, so that the frame reads the variable
    status, body = request(port, "/api/pointer", {"x": 5, "y": 5, "kind": "click"})
    check(status == 200 and json.loads(body)["events"][0] == {"id": 0x5001, "value": 6},
          f"a click after setting 304: {status} {body[:200]}")
    status, body = request(port, "/api/scenario")
    lines = [line for line in body.decode().splitlines() if not line.startswith("#")]
    actions = [line for line in lines if not line.startswith("frame ")]
    between = lines[lines.index("set 304 6") + 1] if "set 304 6" in lines else ""
    check(status == 200 and actions == ["set 304 6", "click 5 5"] and between.startswith("frame "),
          f"the scenario holds the set, the cycles run since and the click: {lines}")
    code = stop(process, signal.SIGINT)
    check(code == 0, f"SIGINT ended serve with {code}, expected 0; stderr: {process.stderr.read()[-2000:]}")

    process, port = start(bench, module)
    code = stop(process, signal.SIGTERM)
    check(code == 0, f"SIGTERM ended serve with {code}, expected 0")

    # A port that is taken, and arguments that make no sense, end serve with 2 and a message.
    holder, port = start(bench, module)
    cases = [
        (["serve"], "MODULE is required"),
        (["serve", module, "--port"], "--port: 1 required"),
        (["serve", module, "--port", "http"], "Value http not in range 0 to 65535"),
        (["serve", module, "--port", "70000"], "Value 70000 not in range 0 to 65535"),
        (["serve", module, "--colour"], "not expected: --colour"),
        (["serve", "/nonexistent/module.so"], "/nonexistent/module.so: cannot open module"),
        (["serve", module, "--port", str(port)], f"cannot listen on 127.0.0.1:{port}"),
    ]
    for args, message in cases:
        run = subprocess.run([bench, *args], capture_output=True, text=True, timeout=60)
        check(run.returncode == 2 and message in run.stderr,
              f"gaugebench {' '.join(args)}: exit {run.returncode}, stderr {run.stderr!r}; expected 2 and {message!r}")
    stop(holder, signal.SIGINT)

    if modules_dir:
        replay_matches(bench, modules_dir, gauges)

    print("serve_cli_test:", "ok" if not failures else f"{len(failures)} checks failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
