#!/usr/bin/env python3
"""gaugebench serve as a person starts it: it prints its address, listens on loopback only, works the gauge over
HTTP, and ends with exit code 0 on SIGINT and on SIGTERM; bad arguments end it with 2 before it listens.

usage: serve_cli_test.py GAUGEBENCH MODULE_PATH
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


def main():
    bench, module = sys.argv[1], sys.argv[2]

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
        (["serve"], "MODULE is missing"),
        (["serve", module, "--port"], "--port needs a number"),
        (["serve", module, "--port", "http"], "expected 0 to 65535"),
        (["serve", module, "--port", "70000"], "expected 0 to 65535"),
        (["serve", module, "--colour"], "unexpected argument"),
        (["serve", "/nonexistent/module.so"], "module.so"),
        (["serve", module, "--port", str(port)], f"cannot listen on 127.0.0.1:{port}"),
    ]
    for args, message in cases:
        run = subprocess.run([bench, *args], capture_output=True, text=True, timeout=60)
        check(run.returncode == 2 and message in run.stderr,
              f"gaugebench {' '.join(args)}: exit {run.returncode}, stderr {run.stderr!r}; expected 2 and {message!r}")
    stop(holder, signal.SIGINT)

    print("serve_cli_test:", "ok" if not failures else f"{len(failures)} checks failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
