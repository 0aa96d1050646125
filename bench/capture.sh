#!/usr/bin/env bash
# Click on 截取屏幕 until the selector is on screen, timed from outside on the
# X server by xuitime (a real XTest click on the running program; the time
# to the first damage of the screen after the selector's window maps),
# interleaved with the floor: one MIT-SHM grab of the screen plus one
# full-screen put (bench/grabfloor.c). At 1920x1080 and 3840x2160 under a
# private Xvfb each; medians, and their ratio.
#   XUITIME=path/to/xuitime bash bench/capture.sh [RUNS]
#   (or XUITIME_SRC=path/to/xuitime.c: built here with cc)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/build/bin
runs=${1:-21}
if [[ -z "${XUITIME:-}" && -n "${XUITIME_SRC:-}" ]]; then
  XUITIME=$root/build/xuitime
  cc -O2 -o "$XUITIME" "$XUITIME_SRC" -lX11 -lXdamage -lXtst -lXfixes
fi
[[ -x "${XUITIME:-}" ]] || { echo "set XUITIME (or XUITIME_SRC) to the outside-in timer" >&2; exit 1; }
export XDRIVE=$bin/xdrive
source "$root/tests/e2e/lib.sh"

median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }

for size in 1920x1080 3840x2160; do
  start_display "$size"
  : >"$E2E_TMP/floor" >"$E2E_TMP/ui" >"$E2E_TMP/map" >"$E2E_TMP/last"
  for ((i = 0; i < runs; i++)); do
    "$bin/bench_grabfloor" | sed -n 's/^floor_ms=//p' >>"$E2E_TMP/floor"
    line=$("$XUITIME" capture -- "$bin/lumaro")
    sed -nE 's/.* first_paint_ms=([0-9.]+).*/\1/p' <<<"$line" >>"$E2E_TMP/ui"
    sed -nE 's/.* map_ms=([0-9.]+).*/\1/p' <<<"$line" >>"$E2E_TMP/map"
    sed -nE 's/.* paint_ms=([0-9.]+).*/\1/p' <<<"$line" >>"$E2E_TMP/last"
  done
  floor=$(median <"$E2E_TMP/floor") ui=$(median <"$E2E_TMP/ui") map=$(median <"$E2E_TMP/map")
  last=$(median <"$E2E_TMP/last")
  printf '%s: click to the selector on screen %.1f ms (mapped %.1f, hint and magnifier painted %.1f), floor %.1f ms: %.2fx   (%d runs)\n' \
    "$size" "$ui" "$map" "$last" "$floor" "$(awk -v a="$ui" -v b="$floor" 'BEGIN {print a / b}')" "$runs"
  kill "${E2E_PIDS[0]}" 2>/dev/null || true
  E2E_PIDS=("${E2E_PIDS[@]:1}")
done
