# Shared helpers for the end-to-end tests: a private Xvfb display, the real
# program started on it, and a way to find its window from outside.
set -euo pipefail

E2E_TMP=$(mktemp -d)
E2E_PIDS=()

cleanup() {
  local pid
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${E2E_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$E2E_TMP"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# start_display [WIDTHxHEIGHT]: a fresh Xvfb; exports DISPLAY.
start_display() {
  local size=${1:-1280x1024}
  exec {fd}<> <(:)
  Xvfb -displayfd "$fd" -screen 0 "${size}x24" -nolisten tcp -noreset >"$E2E_TMP/xvfb.log" 2>&1 &
  E2E_PIDS+=($!)
  local n=""
  for _ in $(seq 100); do
    read -r -t 0.1 n <&"$fd" && break || true
  done
  [[ -n "$n" ]] || fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.log")"
  export DISPLAY=":$n"
  unset WAYLAND_DISPLAY
  export QT_QPA_PLATFORM=xcb
}

# start_program BINARY: runs it on the display; sets APP_PID.
start_program() {
  "$1" >"$E2E_TMP/app.log" 2>&1 &
  APP_PID=$!
  E2E_PIDS+=("$APP_PID")
}

# wait_window REGEX: prints the id of the first window whose name matches.
wait_window() {
  local id=""
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  fail "no window named /$1/ appeared; program said: $(cat "$E2E_TMP/app.log")"
}

# geometry ID: prints "x y width height" of the window on the root window.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
                          /^  Width/{w=$NF} /^  Height/{h=$NF} END{print x, y, w, h}'
}

# pixel X Y: prints the root window's colour at X,Y as "r,g,b".
pixel() {
  import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
    sed -nE 's/.*srgba?\(([0-9]+),([0-9]+),([0-9]+).*/\1,\2,\3/p'
}
