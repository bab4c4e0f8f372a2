#!/usr/bin/env bash
# The browser test as ctest runs it: brings the system's Chromium and the locked playwright-core when either is
# missing, then drives the page. usage: run_browser_test.sh GAUGEBENCH MODULE PLAN OUTPUT_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ ! -x "${CHROMIUM:-/usr/bin/chromium}" ]; then
    echo "run_browser_test: installing Debian's chromium"
    if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends chromium >/dev/null
fi
command -v npm >/dev/null || { echo "run_browser_test: npm is missing (Debian: apt-get install npm)" >&2; exit 1; }

# npm ci only when node_modules does not hold what the lock file names.
if ! cmp -s "$here/package-lock.json" "$here/node_modules/.serve-installed-lock" 2>/dev/null; then
    (cd "$here" && npm ci --no-audit --no-fund --loglevel=error)
    cp "$here/package-lock.json" "$here/node_modules/.serve-installed-lock"
fi

exec node "$here/serve_page_test.mjs" "$@"
