#!/bin/sh
# Runs a gaugebench command and checks its exit code and that what it said holds a text.
# Usage: cli_status.sh [--one-line] CODE TEXT COMMAND...
#   --one-line: the message is exactly one line on standard error (a refusal), and TEXT is in it.
one_line=
if [ "$1" = "--one-line" ]; then one_line=1; shift; fi
code=$1; expected=$2; shift 2
if [ -n "$one_line" ]; then
    out=$("$@" 2>&1 >/dev/null); got=$?
    lines=$(printf '%s\n' "$out" | wc -l)
    if [ "$lines" -ne 1 ]; then
        echo "$lines lines on standard error, expected one: $out"; exit 1
    fi
else
    out=$("$@" 2>&1); got=$?
fi
if [ "$got" -ne "$code" ]; then
    echo "exit code $got, expected $code: $out"; exit 1
fi
case "$out" in
    *"$expected"*) echo "exit code $got: $out" ;;
    *) echo "expected '$expected' in: $out"; exit 1 ;;
esac
