#!/usr/bin/env bash
# Start to first paint under Xvfb: Lumaro against a bare Qt 6 window of the
# same size, alternating, in the same run.  bash bench/startup.sh [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tests/e2e/lib.sh"
bin=$root/build/bin
start_display 1920x1080
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$E2E_TMP}
"$bin/bench_startup_runner" "${1:-40}" -- lumaro "$bin/bench_firstpaint" -- bare "$bin/bench_firstpaint" bare \
  -- text "$bin/bench_firstpaint" text
