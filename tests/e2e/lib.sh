# Shared helpers for the end-to-end tests: a private Xvfb display, the real
# program started on it, a way to find its windows from outside, and waits
# for conditions (never for a fixed time).
#
# Every test is run as `bash tests/e2e/NAME.sh PROGRAM`, with XDRIVE and
# LUMARO_CONTROLS naming the helpers the build made (tests/CMakeLists.txt). A
# test that lacks a tool exits with 77, which ctest counts as skipped; in CI
# (CI=true) nothing may be missing, and the same test fails instead. Keys
# and clicks go through XTEST, as a real keyboard's do, to whatever has the
# focus: events sent to a window directly reach Qt as synthetic ones, which
# it may take for auto-repeats.
set -euo pipefail

E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_USER=lumaro-e2e

# A test that sets E2E_AS_USER=1 before sourcing this runs, when started as
# root, as an unprivileged user: whatever random clicks do in the program's
# file dialogs can then touch nothing but the test's own scratch files. The
# program and the test are copied where that user can read them.
if [[ -n "${E2E_AS_USER:-}" && $(id -u) -eq 0 ]]; then
  id -u "$E2E_USER" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$E2E_USER"
  stage=$(mktemp -d /tmp/lumaro-e2e.XXXXXX)
  cp -a "$(dirname "$1")" "$stage/bin"
  cp -a "$E2E_DIR" "$stage/e2e"
  # A script from elsewhere (bench/) comes along with its folder.
  script=$stage/e2e/$(basename "$0")
  if [[ $(cd "$(dirname "$0")" && pwd) != "$E2E_DIR" ]]; then
    cp -a "$(dirname "$0")" "$stage/other"
    script=$stage/other/$(basename "$0")
  fi
  [[ -n "${LUMARO_TEST_DATA:-}" ]] && cp -a "$LUMARO_TEST_DATA" "$stage/data"
  chown -R "$E2E_USER:" "$stage"
  chmod 755 "$stage"
  # X's socket folder, as a desktop system makes it: an Xwayland started by
  # that user first would make it its own, and the X servers of GNOME Shell
  # and KWin started later refuse a folder not open to everyone.
  install -d -o root -g root -m 1777 /tmp/.X11-unix
  bin=$stage/bin
  program=$bin/$(basename "$1")
  shift
  exec setpriv --reuid="$E2E_USER" --regid="$E2E_USER" --clear-groups -- \
    env E2E_STAGE="$stage" XDRIVE="${XDRIVE:+$bin/$(basename "$XDRIVE")}" \
    WLPOINTER="${WLPOINTER:+$bin/$(basename "$WLPOINTER")}" \
    LUMARO_CONTROLS="${LUMARO_CONTROLS:+$bin/$(basename "$LUMARO_CONTROLS")}" \
    LUMARO_TEST_DATA="${LUMARO_TEST_DATA:+$stage/data}" HOME=/nonexistent \
    bash "$script" "$program" "$@"
fi

E2E_TMP=$(mktemp -d)
chmod 755 "$E2E_TMP"
E2E_PIDS=()
XDRIVE=${XDRIVE:-}
E2E_PASSED=0
export XDG_RUNTIME_DIR=$E2E_TMP/runtime HOME=$E2E_TMP/home
mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$HOME"

any_alive() {
  local pid
  for pid in "$@"; do kill -0 "$pid" 2>/dev/null && return 0; done
  return 1
}

cleanup() {
  local pid
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  # What does not end within 5 s of SIGTERM is killed: a test never hangs here.
  for _ in $(seq 100); do
    any_alive "${E2E_PIDS[@]}" || break
    sleep 0.05
  done
  for pid in "${E2E_PIDS[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  for pid in "${E2E_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  # E2E_KEEP=1 keeps the scratch folder (pictures, logs) for a look afterwards.
  if [[ -n "${E2E_KEEP:-}" ]]; then echo "kept $E2E_TMP" >&2; else rm -rf "$E2E_TMP"; fi
  rm -rf ${E2E_STAGE:+"$E2E_STAGE"}
}
trap cleanup EXIT

# fail MESSAGE: ends the test; a screenshot of the moment goes to
# ${TMPDIR:-/tmp}/lumaro-e2e-<test>.png for whoever reads the log.
fail() {
  echo "FAIL: $*" >&2
  local picture=${TMPDIR:-/tmp}/lumaro-e2e-$(basename "$0" .sh).png
  # A display server that no longer answers must not hold the test here.
  if [[ -n "${WAYLAND_DISPLAY:-}" ]] && command -v grim >/dev/null; then
    timeout 10 grim "$picture" 2>/dev/null && echo "screen at the failure: $picture" >&2
  elif [[ -n "${E2E_DISPLAY_STARTED:-}" ]] && command -v import >/dev/null; then
    timeout 10 import -window root "$picture" 2>/dev/null && echo "screen at the failure: $picture" >&2
  fi
  exit 1
}
# skip MESSAGE: the test cannot run on this machine. In CI that is a fault of
# the set-up (scripts/deps.sh), so there it fails.
skip() {
  [[ ${CI:-} != true ]] || { echo "FAIL: in CI nothing may be skipped: $*" >&2; exit 1; }
  echo "SKIP: $*"
  exit 77
}
pass() { E2E_PASSED=$((E2E_PASSED + 1)); echo "ok: $*"; }
finish() { echo "$E2E_PASSED checks passed"; }

need() {
  local tool
  for tool in "$@"; do command -v "$tool" >/dev/null || skip "$tool is not installed (bash scripts/deps.sh --test)"; done
}
need Xvfb xdotool xwininfo
[[ -x "$XDRIVE" ]] || skip "xdrive was not built (libx11-dev, libxtst-dev, libxdamage-dev)"

# The program's own table of controls, in client pixels (see controls.cpp).
E2E_CONTROLS=$E2E_TMP/controls
if [[ -x "${LUMARO_CONTROLS:-}" ]]; then
  QT_QPA_PLATFORM=offscreen "$LUMARO_CONTROLS" >"$E2E_CONTROLS"
fi

# wait_for TIMEOUT_S DESCRIPTION COMMAND...: runs COMMAND until it succeeds.
wait_for() {
  local timeout=$1 what=$2
  shift 2
  local deadline=$((SECONDS + timeout))
  until "$@"; do
    ((SECONDS < deadline)) || fail "timed out waiting for $what"
    sleep 0.05
  done
}

# The screen's scale, given as GNOME, KDE and Xfce give it on X11: E2E_DPI
# (96 for 100 %, 144 for 150 %, ...) goes into the X resources as Xft.dpi,
# which Qt reads. The window's own table of controls is in Qt's logical
# pixels; `control` and `centre` give screen pixels.
E2E_DPI=${E2E_DPI:-96}
# Each screen's own scale, by its name, as "left=1,right=2": Qt's
# QT_SCREEN_SCALE_FACTORS, which separates them with ";".
if [[ -n "${E2E_SCREEN_SCALES:-}" ]]; then
  export QT_SCREEN_SCALE_FACTORS=${E2E_SCREEN_SCALES//,/;}
fi
# scaled N: N logical pixels in the screen's pixels, as Qt rounds them.
scaled() { awk -v n="$1" -v d="$E2E_DPI" 'BEGIN { v = n * d / 96; printf "%d\n", (v < 0 ? -int(-v + 0.5) : int(v + 0.5)) }'; }
# scaled_down N: the same, the whole pixels below it.
scaled_down() { awk -v n="$1" -v d="$E2E_DPI" 'BEGIN { printf "%d\n", int(n * d / 96) }'; }

# start_display [WIDTHxHEIGHT]: a fresh Xvfb; exports DISPLAY.
start_display() {
  local size=${1:-1280x1024}
  # Xvfb writes the number of the display it took to this descriptor. A
  # named pipe, opened for reading and writing, never reads as ended.
  local pipe
  pipe=$(mktemp -u "$E2E_TMP/displayfd.XXXX")
  mkfifo "$pipe"
  exec {fd}<>"$pipe"
  # E2E_XVFB_ARGS: more for the server (say, "-extension MIT-SHM" for one without shared memory).
  # shellcheck disable=SC2086
  Xvfb -displayfd "$fd" -screen 0 "${size}x24" -nolisten tcp -noreset ${E2E_XVFB_ARGS:-} >"$E2E_TMP/xvfb.log" 2>&1 &
  E2E_PIDS+=($!)
  # One read for the whole line: bash reads a pipe byte by byte, and a
  # timeout between two bytes (a busy machine) would leave half a number.
  local n=""
  read -r -t 10 n <&"$fd" || true
  [[ $n =~ ^[0-9]+$ ]] || fail "Xvfb did not start (it said \"$n\"): $(cat "$E2E_TMP/xvfb.log")"
  export DISPLAY=":$n"
  E2E_DISPLAY_STARTED=1
  if ((E2E_DPI != 96)); then
    need xrdb
    echo "Xft.dpi: $E2E_DPI" | xrdb -merge
  fi
  unset WAYLAND_DISPLAY XDG_SESSION_TYPE # an X server of its own, not the desktop around it
  export QT_QPA_PLATFORM=xcb
}

# start_sway W H [xwayland] [scale S]: a headless sway (pixman renderer) with
# one W x H output (in its own pixels; at scale S, 1 unless given, the layout
# sees W/S x H/S) and every window floating, XWayland on if asked; exports
# WAYLAND_DISPLAY and SWAYSOCK, sets SWAY_PID. With E2E_SWAY_DEBUG=REGEX,
# sway's debug messages that match go to its log ($E2E_TMP/sway.log) too.
start_sway() {
  local width=$1 height=$2 xwayland=disable scale=1
  shift 2
  while (($#)); do
    case $1 in
      xwayland) xwayland=enable ;;
      scale) scale=$2; shift ;;
      *) fail "start_sway: what is \"$1\"?" ;;
    esac
    shift
  done
  cat >"$E2E_TMP/sway.conf" <<EOF
output HEADLESS-1 resolution ${width}x$height position 0,0 scale $scale bg #336699 solid_color
xwayland $xwayland
default_border none
default_floating_border none
for_window [app_id=".*"] floating enable
for_window [class=".*"] floating enable
EOF
  export WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1
  unset DISPLAY
  rm -f "$XDG_RUNTIME_DIR"/wayland-* "$XDG_RUNTIME_DIR"/sway-ipc.*
  if [[ -n ${E2E_SWAY_DEBUG:-} ]]; then
    sway -d -c "$E2E_TMP/sway.conf" > >(grep --line-buffered -E "\[(ERROR|INFO)\]|$E2E_SWAY_DEBUG" \
      >"$E2E_TMP/sway.log") 2>&1 &
  else
    sway -c "$E2E_TMP/sway.conf" >"$E2E_TMP/sway.log" 2>&1 &
  fi
  SWAY_PID=$!
  E2E_PIDS+=("$SWAY_PID")
  wait_for 20 "sway" bash -c "compgen -G '$XDG_RUNTIME_DIR/wayland-*.lock' >/dev/null && compgen -G '$XDG_RUNTIME_DIR/sway-ipc.*' >/dev/null"
  WAYLAND_DISPLAY=$(basename "$(compgen -G "$XDG_RUNTIME_DIR/wayland-*.lock" | head -n1)" .lock)
  SWAYSOCK=$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*" | head -n1)
  export WAYLAND_DISPLAY SWAYSOCK
}

# start_atspi: a session bus and the accessibility bus on it, so that the
# program can be read from outside as a screen reader reads it.
start_atspi() {
  eval "$(dbus-launch --sh-syntax)"
  E2E_PIDS+=("$DBUS_SESSION_BUS_PID")
  local launcher="" candidate
  for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    [[ -x $candidate ]] && launcher=$candidate && break
  done
  [[ -n "$launcher" ]] || skip "at-spi-bus-launcher is not installed"
  "$launcher" --launch-immediately >"$E2E_TMP/atspi.log" 2>&1 &
  E2E_PIDS+=($!)
  wait_for 10 "the accessibility bus" bash -c 'dbus-send --session --dest=org.a11y.Bus --print-reply \
    /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1'
  # Without a desktop session nothing asks Qt to switch its bridge on.
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
}

# start_program BINARY: runs it on the display, in a scratch home; sets APP_PID.
# E2E_PRELOAD=LIBRARY loads that library into it, and into nothing else.
start_program() {
  local program
  program=$(realpath "$1")
  shift
  (cd "$HOME" && exec env ${E2E_PRELOAD:+LD_PRELOAD="$E2E_PRELOAD"} "$program" "$@") >"$E2E_TMP/app.log" 2>&1 &
  APP_PID=$!
  E2E_PIDS+=("$APP_PID")
}

# sanitizer_clean: the program's output holds no sanitizer report.
sanitizer_clean() {
  ! grep -qE 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$E2E_TMP/app.log" ||
    fail "a sanitizer reported: $(grep -m1 -A12 -E 'Sanitizer|runtime error' "$E2E_TMP/app.log")"
}

# windows_of PID: one line per top-level window of a process, with its
# name and whether it is on the screen.
windows_of() {
  local id
  for id in $(xdotool search --all --pid "$1" 2>/dev/null); do
    echo "  $(xwininfo -id "$id" 2>/dev/null | sed -nE 's/.*Window id: (0x[0-9a-f]+) (.*)/\1 \2/p; s/ *Map State: //p' | paste -sd ' ')"
  done
}

# threads_of PID: one line per thread of a process, with what it waits in.
threads_of() {
  local task
  for task in /proc/"$1"/task/*; do
    echo "  $(cat "$task/comm" 2>/dev/null) (${task##*/}): $(cat "$task/wchan" 2>/dev/null)"
  done
  if [[ -n "${E2E_DEBUG_HANG:-}" ]] && command -v gdb >/dev/null; then
    gdb -p "$1" -batch -ex 'thread apply all bt' 2>/dev/null | grep -E '^(Thread|#)' | head -n 200
  fi
}

# stop_program WINDOW: closes the window as a person would and checks that
# the program ended cleanly, within 10 s.
stop_program() {
  "$XDRIVE" close "$1"
  local status=0 deadline=$((SECONDS + 10))
  while kill -0 "$APP_PID" 2>/dev/null; do
    ((SECONDS < deadline)) || fail "the program did not end within 10 s of closing its window; it said:
$(cat "$E2E_TMP/app.log")
its windows: $(windows_of "$APP_PID")
its threads, and where they wait: $(threads_of "$APP_PID")"
    sleep 0.05
  done
  wait "$APP_PID" || status=$?
  sanitizer_clean
  ((status == 0)) || fail "the program ended with status $status: $(tail -n 20 "$E2E_TMP/app.log")"
}

# alive: the program still runs and answers.
alive() {
  kill -0 "$APP_PID" 2>/dev/null || fail "the program ended: $(tail -n 20 "$E2E_TMP/app.log")"
  "$XDRIVE" ping "$MAIN" 5000 || fail "the program does not answer"
}

# settle [QUIET_MS]: waits until the screen has not changed for QUIET_MS (300).
settle() { "$XDRIVE" settle "${1:-300}" 10000 || fail "the screen never came to rest"; }

# find_window REGEX: the id of the first visible window whose name matches.
find_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1; }

# wait_window REGEX: prints the id of the first window whose name matches.
wait_window() {
  local id=""
  for _ in $(seq 200); do
    id=$(find_window "$1" || true)
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    [[ -z "${APP_PID:-}" ]] || kill -0 "$APP_PID" 2>/dev/null ||
      fail "the program ended: $(tail -n 20 "$E2E_TMP/app.log")"
    sleep 0.05
  done
  fail "no window named /$1/ appeared; program said: $(tail -n 20 "$E2E_TMP/app.log" 2>/dev/null)"
}

# wait_gone ID: waits until the window is no longer viewable.
wait_gone() {
  wait_for 10 "window $1 to close" bash -c "! xwininfo -id $1 2>/dev/null | grep -q IsViewable"
}

# file_dialog_answer ID PATH: types PATH into the file dialog's name box and
# confirms it. A first Enter may only take the completer's suggestion, so
# Enter goes again until the dialog closes or asks a question of its own.
file_dialog_answer() {
  xdotool type --delay 2 "$2"
  # The typing given a moment to land; the screen need not come to rest,
  # as the Windows style's default button glows on and on. Whether the
  # dialog took the name is what counts, below.
  "$XDRIVE" settle 100 2000 || true
  local _ __
  for _ in 1 2 3; do
    xdotool key Return
    for __ in $(seq 40); do
      ! xwininfo -id "$1" 2>/dev/null | grep -q IsViewable && return 0
      [[ -n "$(dialog_question "$1")" ]] && return 0
      sleep 0.05
    done
  done
  fail "the file dialog took no answer"
}

# open_selector: presses 截取屏幕 and waits for the selector; sets OVERLAY.
open_selector() {
  press Command5
  OVERLAY=$(wait_window '^截取屏幕$')
  settle
}

# click_capture X Y: presses 截取屏幕, clicks at X,Y once the selector shows
# what is under the pointer there, and waits until the capture is on show.
click_capture() {
  open_selector
  xdotool mousemove "$1" "$2"
  settle 150
  xdotool click 1
  wait_gone "$OVERLAY"
  settle
}

# save_capture FILE: presses 保存图片, answers the dialog with FILE and waits
# until the whole picture is there.
save_capture() {
  press Command6
  local dialog
  dialog=$(wait_window '^打开文件$')
  file_dialog_answer "$dialog" "$1"
  wait_for 10 "the saved capture $1" bash -c "[[ -s '$1' ]] && identify '$1' >/dev/null 2>&1"
}

# dialog_question ID: a question window that the file dialog ID opened.
dialog_question() { xdotool search --onlyvisible --name '^打开文件$' 2>/dev/null | grep -vx "$1" | head -n1 || true; }

# geometry ID: prints "x y width height" of the window on the root window.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
                          /^  Width/{w=$NF} /^  Height/{h=$NF} END{print x, y, w, h}'
}

# start_lumaro PROGRAM [WIDTHxHEIGHT [ARGUMENT...]]: display, program (given
# the arguments), main window. Sets MAIN (its window id) and CX CY (the
# client area's corner on the screen).
start_lumaro() {
  [[ -n "${E2E_DISPLAY_STARTED:-}" ]] || start_display "${2:-1280x1024}"
  start_program "$1" "${@:3}"
  MAIN=$(wait_window '^Lumaro         $')
  client_corner
  settle
}

# client_corner: sets CX CY, the main window's client area's corner on the
# screen (again, after the window has moved).
client_corner() {
  local x y w h
  read -r x y w h < <(geometry "$MAIN")
  read -r _ _ CLIENT_W CLIENT_H < <(control_row client)
  # The menu bar above the client area: whole logical pixels, then scaled.
  local menu
  menu=$(awk -v h="$h" -v c="$CLIENT_H" -v d="$E2E_DPI" 'BEGIN { m = h * 96 / d - c; printf "%d\n", int(m + 0.5) }')
  CX=$x CY=$((y + $(scaled "$menu")))
}

# control_row NAME: "x y w h" of a control in the client area, from the
# program's own window definition (controls.cpp prints it).
control_row() {
  local line
  line=$(grep -E "^$1 " "$E2E_CONTROLS") || fail "no control $1 in the table"
  read -r _ x y w h <<<"$line"
  echo "$x" "$y" "$w" "$h"
}

# control NAME: prints "x y w h" of a control on the screen, in its pixels.
control() {
  local x y w h
  read -r x y w h < <(control_row "$1")
  echo $((CX + $(scaled "$x"))) $((CY + $(scaled "$y"))) "$(scaled "$w")" "$(scaled "$h")"
}

# centre NAME: prints the screen point in the middle of a control.
centre() {
  local x y w h
  read -r x y w h < <(control "$1")
  echo $((x + w / 2)) $((y + h / 2))
}

# press NAME: clicks a control as a person would.
press() {
  local p
  read -r -a p < <(centre "$1")
  xdotool mousemove "${p[@]}" click 1
}

# pixel X Y: prints the root window's colour at X,Y as "r,g,b". (The numbers
# in brackets: the text at the end of the line is a name for some colours.)
pixel() {
  import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
    sed -nE 's/^[0-9]+,[0-9]+: *\(([0-9]+),([0-9]+),([0-9]+).*/\1,\2,\3/p'
}

# shot X Y W H FILE: an independent screenshot of a screen rectangle.
# drag_corners X0 Y0 X1 Y1: with the selector open, a drag from the first
# to the last pixel of a region (both corners count); waits until the
# selector is gone.
drag_corners() {
  xdotool mousemove "$1" "$2" mousedown 1
  xdotool mousemove $((($1 + $3) / 2)) $((($2 + $4) / 2))
  xdotool mousemove "$3" "$4" mouseup 1
  wait_gone "$OVERLAY"
  settle
}
shot() { import -window root -crop "${3}x${4}+$1+$2" +repage "$5"; }

# shown_one_to_one FILE: the capture display shows FILE's pixels unchanged,
# each on one pixel of the screen. Where its first pixel lands depends on
# how the window and the border round at the screen's scale; it is looked
# for a few pixels around the display's corner.
shown_one_to_one() {
  local x y w h dx dy
  read -r x y _ _ < <(control Picture1)
  read -r w h < <(identify -format '%w %h\n' "$1")
  import -window root "$E2E_TMP/screen.png"
  for dy in -2 -1 0 1 2 3 4 5; do
    for dx in -2 -1 0 1 2 3 4 5; do
      convert "$E2E_TMP/screen.png" -crop "${w}x${h}+$((x + dx))+$((y + dy))" +repage "$E2E_TMP/shown.png"
      same_pixels "$E2E_TMP/shown.png" "$1" && return 0
    done
  done
  fail "the capture display does not show the capture one to one near ($x, $y) (screen: $E2E_TMP/screen.png)"
}

# same_pixels A B: the two pictures differ in no pixel.
same_pixels() {
  local diff
  diff=$(compare -metric AE "$1" "$2" null: 2>&1 || true)
  [[ $diff == 0 ]]
}

# expect_picture ACTUAL EXPECTED WHAT: fails, naming WHAT, unless ACTUAL has
# EXPECTED's size and every one of its pixels.
expect_picture() {
  local got want
  got=$(identify -format '%wx%h' "$1" 2>/dev/null) want=$(identify -format '%wx%h' "$2")
  [[ $got == "$want" ]] || fail "$3: ${got:-no picture}, not $want"
  same_pixels "$1" "$2" || fail "$3: $(compare -metric AE "$1" "$2" null: 2>&1) pixels differ"
}

# ---- What the desktop tests (gnome.sh, kde.sh, wayland.sh) and the benchmarks share.

# owned NAME: a program holds NAME on the session bus.
owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:"$1" 2>/dev/null | grep -q true
}

# The screen at rest: two pictures of it STILL_PAUSE seconds apart (0.1
# unless set) are the same. Each desktop takes them its own way:
# still_shot FILE, which fails where it can take none (then a plain settle).
# The caption box has the focus as the window opens, and its cursor blinks
# every half second: the two pictures must come closer together than that,
# so PPM pictures (the same header for the same screen) are compared byte
# for byte, in a few milliseconds, where ImageMagick takes a quarter second.
sleep_until_still() {
  local type=${STILL_TYPE:-ppm}
  local a=$E2E_TMP/still-a.$type b=$E2E_TMP/still-b.$type
  still_shot "$a" || { settle; return; }
  for _ in $(seq 50); do
    sleep "${STILL_PAUSE:-0.1}"
    still_shot "$b"
    if [[ $type == ppm ]]; then cmp -s "$a" "$b" && return 0; else same_pixels "$a" "$b" && return 0; fi
    mv "$b" "$a"
  done
  still_shot "$b" || fail "the screen never came to rest"
  fail "the screen never came to rest; what changed last: $(compare "$a" "$b" -compose src \
    -highlight-color white -lowlight-color black png:- 2>/dev/null | convert - -format '%@' info: 2>&1)"
}

# route_was NAME: the last capture read the screen by that route (the capture log).
route_was() {
  local last
  last=$(grep -o 'route: [a-z0-9]*' "$E2E_TMP/app.log" | tail -n1)
  [[ $last == "route: $1" ]] || fail "the capture went ${last:-no known route}, not $1: $(tail -n 5 "$E2E_TMP/app.log")"
}

# sway_rect NAME_REGEX: "x y w h" of the first window under sway whose title matches.
sway_rect() {
  swaymsg -t get_tree | /usr/bin/python3 -c '
import json, re, sys
def walk(n):
    if n.get("name") and re.search(sys.argv[1], n["name"]) and n.get("pid"):
        r = n["rect"]; print(r["x"], r["y"], r["width"], r["height"]); sys.exit(0)
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c)
walk(json.load(sys.stdin)); sys.exit(1)' "$1"
}
# wait_sway NAME_REGEX: waits for such a window and prints its sway_rect.
wait_sway() { wait_for 15 "a window named /$1/" sway_rect "$1" >/dev/null; sway_rect "$1"; }

# lasting_input W H: under sway, a keyboard (wtype) and a pointer (wlpointer,
# for a W x H layout) that last the whole session. Each command that types
# or points adds its own device and takes it away again; with none left the
# program's window would lose the focus, or its pointer.
lasting_input() {
  wtype -s 86400000 &
  E2E_PIDS+=($!)
  "$WLPOINTER" "$1" "$2" wait 86400000 &
  E2E_PIDS+=($!)
}

# ---- Random events: the monkey test and the long runs (bench/longrun.sh).

# random_seed: a seed for a run that was given none.
random_seed() { od -An -N4 -tu4 /dev/urandom | tr -d ' '; }

# monkey_home: links open in a stand-in browser; the file dialogs start
# among a few pictures.
monkey_home() {
  mkdir -p "$E2E_TMP/bin" "$HOME"
  printf '#!/bin/sh\nexit 0\n' >"$E2E_TMP/bin/xdg-open"
  chmod +x "$E2E_TMP/bin/xdg-open"
  export PATH="$E2E_TMP/bin:$PATH"
  if [[ -d "${LUMARO_TEST_DATA:-}" ]]; then cp "$LUMARO_TEST_DATA"/sample.* "$HOME/"; fi
}

# monkey_events SEED EVENTS LOG: that many random events over the program
# started on the X display (xdrive monkey), one line each in LOG. Status 0;
# 3 when the program ended, 2 when it did not answer within 5 s.
monkey_events() { "$XDRIVE" monkey "$MAIN" "$APP_PID" "$1" "$2" "$3"; }

# monkey_last_events LOG: the events before a failure, for whoever replays it.
monkey_last_events() {
  echo "last events before the failure:"
  tail -n 40 "$1"
}

# median: the median of the numbers on standard input, one a line.
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
