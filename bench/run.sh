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
echo "== start-up (start to first paint)"
"$bin/bench_startup_runner" "$runs" -- lumaro "$bin/bench_firstpaint" -- bare "$bin/bench_firstpaint" bare \
  -- text "$bin/bench_firstpaint" text
echo "== picture"
"$bin/bench_picture" all "$runs"
echo "== capture, from outside"
bash "$root/bench/capture.sh" "$runs"
