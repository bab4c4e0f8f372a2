#!/bin/sh
# gaugebench log on a broken module: one line on standard error naming the module and the fault, exit code 2.
# Usage: cli_refuses.sh EXPECTED_TEXT [EMULATOR] GAUGEBENCH MODULE
expected=$1; shift
err=$("$@" 2>&1 >/dev/null); code=$?
lines=$(printf '%s\n' "$err" | wc -l)
if [ "$code" -ne 2 ] || [ "$lines" -ne 1 ]; then
    echo "exit code $code, $lines lines: $err"; exit 1
fi
case "$err" in
    *"$expected"*) echo "refused: $err" ;;
    *) echo "expected '$expected' in: $err"; exit 1 ;;
esac
