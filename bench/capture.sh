#!/usr/bin/env bash
# Click on 截取屏幕 until the selector is on screen, seen from outside: a real
# XTest click on a freshly started Lumaro, timed by the X server
# (bench/clicktime.c) to the selector's map, its first paint (done once every
# pixel of the screen has been painted) and its last paint before it rests
# for 1.5 s (the key hint and the magnifier).
# Interleaved with the floor, in the same X server time: one MIT-SHM grab
# of the screen plus one full-screen put (bench/grabfloor.c). At 1920x1080
# and 3840x2160 under a private Xvfb each; medians, and their ratio to the
# floor's.
#   bash bench/capture.sh [RUNS]          (build first: bash scripts/build.sh)
#   CAPTURE_SIZES="1920x1080" BIN=build/bin bash bench/capture.sh 5
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath "${BIN:-$root/build/bin}")
runs=${1:-21}
for tool in lumaro xdrive e2e_controls bench_clicktime bench_grabfloor; do
  [[ -x "$bin/$tool" ]] || { echo "no $bin/$tool: build first (bash scripts/build.sh)" >&2; exit 1; }
done
export XDRIVE=$bin/xdrive LUMARO_CONTROLS=$bin/e2e_controls
source "$root/tests/e2e/lib.sh"

value() { sed -nE "s/.*(^| )$1=([^ ]+).*/\2/p" <<<"$2"; }

for size in ${CAPTURE_SIZES:-1920x1080 3840x2160}; do
  start_display "$size"
  xvfb=${E2E_PIDS[-1]}
  : >"$E2E_TMP/floor" >"$E2E_TMP/map" >"$E2E_TMP/first" >"$E2E_TMP/last" >"$E2E_TMP/damage"
  for ((i = 0; i < runs; i++)); do
    "$bin/bench_grabfloor" | sed -n 's/^floor_ms=//p' >>"$E2E_TMP/floor"
    start_lumaro "$bin/lumaro"
    line=$("$bin/bench_clicktime" $(centre Command5)) || fail "run $((i + 1)): the selector was not timed"
    value map_ms "$line" >>"$E2E_TMP/map"
    value first_paint_ms "$line" >>"$E2E_TMP/first"
    value paint_ms "$line" >>"$E2E_TMP/last"
    value first_damage_ms "$line" >>"$E2E_TMP/damage"
    overlay=$(value window "$line")
    xdotool key Escape
    wait_gone "$overlay"
    stop_program "$MAIN"
  done
  floor=$(median <"$E2E_TMP/floor") map=$(median <"$E2E_TMP/map") first=$(median <"$E2E_TMP/first")
  last=$(median <"$E2E_TMP/last") damage=$(median <"$E2E_TMP/damage")
  printf '%s: click to the selector on screen %.1f ms (mapped %.1f, its first paint begun %.1f, last paint %.1f); floor %.1f ms; ratio %.2fx   (medians of %d runs)\n' \
    "$size" "$first" "$map" "$damage" "$last" "$floor" "$(awk -v a="$first" -v b="$floor" 'BEGIN {print a / b}')" "$runs"
  kill "$xvfb"
  wait "$xvfb" 2>/dev/null || true
  unset E2E_DISPLAY_STARTED
done
