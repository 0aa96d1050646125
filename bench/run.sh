#!/usr/bin/env bash
# Runs every measurement under a private Xvfb at 1920x1080 (the capture also
# at 3840x2160) and prints medians.
#   bash bench/run.sh [RUNS]      (build first: bash scripts/build.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/build/bin
export XDRIVE=$bin/xdrive
source "$root/tests/e2e/lib.sh"
start_display 1920x1080
runs=${1:-21}
startup() {
  "$bin/bench_startup_runner" "$runs" -- lumaro "$bin/bench_firstpaint" -- bare "$bin/bench_firstpaint" bare \
    -- text "$bin/bench_firstpaint" text
}
echo "== start-up (start to first paint)"
startup
# A desktop session has a session bus. Without one, as above, every Qt
# program's first look at the accessibility bus has libdbus start
# dbus-launch to find one (some 17 ms on the development machine, in every
# start of both programs); here they find it as on a desktop.
if command -v dbus-run-session >/dev/null; then
  echo "== start-up, with a session bus"
  export -f startup
  export bin runs
  dbus-run-session -- bash -c startup 2> >(grep -v "Failed to set fd limit" >&2)
else
  echo "== start-up with a session bus: skipped, dbus-run-session is not installed (package dbus-daemon)"
fi
echo "== picture"
"$bin/bench_picture" all "$runs"
echo "== capture, from outside"
bash "$root/bench/capture.sh" "$runs"
