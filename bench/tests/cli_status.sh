#!/bin/sh
# Runs a gaugebench command and checks its exit code and that its output (standard output and error) holds a
# text. Usage: cli_status.sh CODE TEXT COMMAND...
code=$1; expected=$2; shift 2
out=$("$@" 2>&1); got=$?
if [ "$got" -ne "$code" ]; then
    echo "exit code $got, expected $code: $out"; exit 1
fi
case "$out" in
    *"$expected"*) echo "exit code $got: $out" ;;
    *) echo "expected '$expected' in: $out"; exit 1 ;;
esac
