#!/usr/bin/env bash
# Click on 截取屏幕 until the selector is on screen, under Wayland, seen from
# outside: headless sway (pixman renderer), Lumaro native on Wayland, where
# it reads the screen through sway's screen copy. bench/wlframe.c clicks
# through the virtual pointer protocol and watches a corner of the output
# through the screen copy protocol: the time from the press to the first
# frame sway presents with the selector's shade there, in sway's own clock
# (the time sway stamps on its copy of that frame). Interleaved with the
# floor, in the same session and timed by the same watch: one screen copy of
# the whole output into shared memory plus one full-screen buffer attached
# and presented. At 1920x1080 and 3840x2160;
# medians, and their ratio to the floor's.
#   bash bench/wayland.sh [RUNS]          (build first: bash scripts/build.sh)
#   WAYLAND_SIZES="1920x1080" BIN=build/bin bash bench/wayland.sh 5
# sway refuses to run as root: as root, it runs as an unprivileged user.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [[ -n ${E2E_STAGE:-} ]]; then bin=$(dirname "$1"); else bin=$(realpath "${BIN:-$root/build/bin}"); fi
for tool in lumaro xdrive e2e_controls bench_wlframe; do
  [[ -x "$bin/$tool" ]] || { echo "no $bin/$tool: build first (bash scripts/build.sh)" >&2; exit 1; }
done
export XDRIVE=$bin/xdrive LUMARO_CONTROLS=$bin/e2e_controls
E2E_AS_USER=1
runs=${1:-21}
# lib.sh re-runs this script as the unprivileged user; the tools come along.
[[ -n ${E2E_STAGE:-} ]] || set -- "$bin/lumaro" "$runs"
lib=$root/tests/e2e/lib.sh
[[ -f $lib ]] || lib=$root/e2e/lib.sh # staged for the unprivileged user
source "$lib" "$@"
program=$1 runs=${2:-$runs}
need sway swaymsg dbus-launch /usr/bin/python3
wlframe=$bin/bench_wlframe


eval "$(dbus-launch --sh-syntax)"
E2E_PIDS+=("$DBUS_SESSION_BUS_PID")
export XDG_CURRENT_DESKTOP=sway
# The capture log names the route; more rules may be added from outside
# (QT_LOGGING_RULES="qt.qpa.wayland*=true", say), with E2E_KEEP=1 to keep it.
export QT_LOGGING_RULES="lumaro.capture.debug=true${QT_LOGGING_RULES:+;$QT_LOGGING_RULES}"

for size in ${WAYLAND_SIZES:-1920x1080 3840x2160}; do
  W=${size%x*} H=${size#*x}
  start_sway "$W" "$H"
  : >"$E2E_TMP/floor" >"$E2E_TMP/frame"
  for ((i = 0; i < runs; i++)); do
    # The floor, watched at the output's far corner (the program's window
    # opens at the top left).
    line=$("$wlframe" "$W" "$H" floor $((W - 8)) $((H - 8))) || fail "run $((i + 1)): the floor was not timed"
    sed -nE 's/.*frame_ms=([^ ]+).*/\1/p' <<<"$line" >>"$E2E_TMP/floor"
    QT_QPA_PLATFORM=wayland start_program "$program"
    wait_for 15 "the main window" bash -c "swaymsg -t get_tree | grep -q '\"name\": \"Lumaro         \"'"
    read -r WX WY WW WH < <(swaymsg -t get_tree | /usr/bin/python3 -c '
import json, sys
def walk(n):
    if n.get("name") == "Lumaro         " and n.get("pid"):
        r = n["rect"]; print(r["x"], r["y"], r["width"], r["height"]); sys.exit(0)
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c)
walk(json.load(sys.stdin)); sys.exit(1)')
    read -r _ _ _ CLIENT_H < <(control_row client)
    CX=$WX CY=$((WY + WH - CLIENT_H))
    line=$("$wlframe" "$W" "$H" click $(centre Command5) $((W - 8)) $((H - 8))) ||
      fail "run $((i + 1)): the selector was not timed"
    sed -nE 's/.*frame_ms=([^ ]+).*/\1/p' <<<"$line" >>"$E2E_TMP/frame"
    grep -q 'route: screencopy' "$E2E_TMP/app.log" || fail "the capture did not take the screen copy: $(tail -n 3 "$E2E_TMP/app.log")"
    kill "$APP_PID"
    wait "$APP_PID" 2>/dev/null || true
  done
  floor=$(median <"$E2E_TMP/floor") frame=$(median <"$E2E_TMP/frame")
  printf '%s: click to the selector'\''s first presented frame %.1f ms; floor %.1f ms; ratio %.2fx   (medians of %d runs)\n' \
    "$size" "$frame" "$floor" "$(awk -v a="$frame" -v b="$floor" 'BEGIN {print a / b}')" "$runs"
  kill "$SWAY_PID"
  wait "$SWAY_PID" 2>/dev/null || true
done
