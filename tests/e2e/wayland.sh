#!/usr/bin/env bash
# Capture under a real Wayland compositor: sway, headless, with the desktop
# portal (xdg-desktop-portal with its wlr and gtk backends). The program runs
# natively on Wayland, where it reads the screens through sway's screen copy
# protocol (the log names the route taken):
#   1. one click on the picture display takes exactly what grim sees there,
#      and 保存图片 writes those pixels; the selector's window came on screen
#      with the one frame it painted first, and painted it whole only once
#      (first_frame.py, on the program's Wayland log): sway makes it full
#      screen only once it is mapped, and waits for a commit that answers
#      that;
#   2. a drag over a region and Enter: the same, for that region, and once
#      more with the screen copy left out, through the portal;
#   3. a capture cancelled with Esc changes nothing, and no picture of the
#      screen is left behind anywhere;
#   4. through XWayland (the program on its X11 platform inside the session),
#      a region of the compositor's own background comes out exactly as grim
#      sees it, by the same route: an X11 grab there sees only X windows and
#      would give black.
# sway refuses to run as root: as root, the test runs as an unprivileged user.
E2E_AS_USER=1
source "$(dirname "$0")/lib.sh"
need sway swaymsg grim wtype pipewire gdbus dbus-launch dbus-send compare identify /usr/bin/python3 Xwayland
[[ -x /usr/libexec/xdg-desktop-portal && -x /usr/libexec/xdg-desktop-portal-wlr ]] ||
  skip "xdg-desktop-portal and xdg-desktop-portal-wlr are not installed"
[[ -x "${WLPOINTER:-}" ]] || skip "wlpointer was not built (libwayland-dev, libwayland-bin)"

W=1280 H=1024

# ---- The session: a bus, sway, the portal's permission, a lasting keyboard.
eval "$(dbus-launch --sh-syntax)"
E2E_PIDS+=("$DBUS_SESSION_BUS_PID")
export XDG_CURRENT_DESKTOP=sway:gnome
start_sway "$W" "$H" xwayland
# The portal and its backends start on demand, and need to know the session;
# the wlr backend also needs PipeWire running, or it gives up at once.
dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_RUNTIME_DIR
pipewire >"$E2E_TMP/pipewire.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 10 "PipeWire" test -S "$XDG_RUNTIME_DIR/pipewire-0"
# The screenshot without asking, as a person who allowed it once has.
dbus-send --session --print-reply --dest=org.freedesktop.impl.portal.PermissionStore \
  /org/freedesktop/impl/portal/PermissionStore org.freedesktop.impl.portal.PermissionStore.SetPermission \
  string:screenshot boolean:true string:screenshot string:"" array:string:yes >/dev/null ||
  fail "the portal's permission store does not answer"
# A first request starts the portal and its backends (the answer is dropped,
# as this caller leaves the bus), so that the program's own requests find
# them running.
gdbus call --session --dest org.freedesktop.portal.Desktop --object-path /org/freedesktop/portal/desktop \
  --method org.freedesktop.portal.Screenshot.Screenshot "" "{'interactive': <false>}" >/dev/null ||
  fail "the desktop portal has no Screenshot"
owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:"$1" 2>/dev/null | grep -q true
}
wait_for 15 "the portal's wlr backend" owned org.freedesktop.impl.portal.desktop.wlr
# Each wtype adds a keyboard and takes it away again; with none left the
# window would lose the focus. This one stays.
wtype -s 3600000 &
E2E_PIDS+=($!)
# The same for the pointer: one that lasts, so the program keeps its pointer
# while each command adds and removes its own.
"$WLPOINTER" "$W" "$H" wait 3600000 &
E2E_PIDS+=($!)

pointer() { "$WLPOINTER" "$W" "$H" "$@"; }

# sway_rect NAME_REGEX: "x y w h" of the first window whose title matches.
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
wait_sway() { wait_for 15 "a window named /$1/" sway_rect "$1"; sway_rect "$1"; }
gone_sway() { wait_for 15 "the window /$1/ to close" bash -c "! swaymsg -t get_tree | grep -q '\"name\": \"$1\"'"; }
# The selector: a full-screen Wayland window, or under XWayland an X window
# that the compositor does not manage (and so does not list).
selector_shown() {
  sway_rect '^截取屏幕$' >/dev/null ||
    { [[ -n "${DISPLAY:-}" ]] && xdotool search --onlyvisible --name '^截取屏幕$' >/dev/null 2>&1; }
}
wait_selector() { wait_for 15 "the selector" selector_shown; }
selector_gone() { ! selector_shown; }
gone_selector() { wait_for 15 "the selector to close" selector_gone; }

# lumaro_at PLATFORM: starts the program; sets WX WY (its window) and CX CY
# (the client area's corner, below the menu bar).
lumaro_at() {
  QT_QPA_PLATFORM=$1 start_program "$PROGRAM"
  read -r WX WY WW WH < <(wait_sway '^Lumaro {9}$')
  read -r _ _ _ CLIENT_H < <(control_row client)
  CX=$WX CY=$((WY + WH - CLIENT_H))
  sleep_until_still
}
# The compositor has nothing to wait on that says "painted"; two frames apart
# are compared instead, raw: the same pixels are the same bytes. (As PNGs,
# through ImageMagick's compare, a wait on a 1920x1080 output took over a
# second, half of it now.)
sleep_until_still() {
  local a=$E2E_TMP/still-a.ppm b=$E2E_TMP/still-b.ppm
  grim -t ppm "$a"
  for _ in $(seq 50); do
    sleep 0.1
    grim -t ppm "$b"
    cmp -s "$a" "$b" && return 0
    mv "$b" "$a"
  done
  fail "the screen never came to rest"
}
click_at() { pointer move "$1" "$2" wait 50 click; }
wayland_press() {
  local p
  read -r -a p < <(centre "$1")
  click_at "${p[@]}"
}
# save_capture FILE: 保存图片, the path typed into the dialog, Enter until it closes.
save_capture() {
  wayland_press Command6
  wait_sway '^打开文件$' >/dev/null
  sleep_until_still
  wtype "$1"
  for _ in 1 2 3; do
    wtype -k Return
    sleep 0.5
    swaymsg -t get_tree | grep -q '"name": "打开文件"' || break
  done
  wait_for 15 "the saved capture" bash -c "[[ -s '$1' ]] && identify '$1' >/dev/null 2>&1"
}
PROGRAM=$1
# Each capture names its route in the log.
export QT_LOGGING_RULES="lumaro.capture.debug=true"
# route_was NAME: the last capture went that way.
route_was() {
  local last
  last=$(grep -o 'route: [a-z0-9]*' "$E2E_TMP/app.log" | tail -n1)
  [[ $last == "route: $1" ]] || fail "the capture went ${last:-no known route}, not $1: $(tail -n 5 "$E2E_TMP/app.log")"
}

# ---- 1. One click on the picture display, natively on Wayland.
touch "$E2E_TMP/before-captures"
WAYLAND_DEBUG=client lumaro_at wayland
read -r px py pw ph < <(control Imageshow)
pointer move 5 5
sleep_until_still
grim -g "$px,$py ${pw}x$ph" "$E2E_TMP/display.png"
wayland_press Command5
wait_selector
sleep_until_still
pointer move $((px + 50)) $((py + 100)) wait 100 move $((px + 51)) $((py + 100))
sleep_until_still
pointer move $((px + 51)) $((py + 100)) wait 50 click
gone_selector
sleep_until_still
save_capture "$E2E_TMP/click.bmp"
expect_picture "$E2E_TMP/click.bmp" "$E2E_TMP/display.png" "one click on the picture display, against grim"
route_was screencopy
/usr/bin/python3 "$E2E_DIR/first_frame.py" "$E2E_TMP/app.log" || fail "the selector's window did not come on screen with its first frame"
pass "Wayland: one click on the picture display takes exactly what grim sees; 保存图片 writes it; the selector came on screen with one frame"

# ---- 2. A dragged region, accepted on release.
wayland_press Command7
pointer move 5 5
sleep_until_still
# region_against_grim NAME: drags over a region of the background and a
# part of the window, saves the capture and compares it with grim's picture.
region_against_grim() {
  local rx=40 ry=60 rw=300 rh=150
  grim -g "$rx,$ry ${rw}x$rh" "$E2E_TMP/$1.png"
  wayland_press Command5
  wait_selector
  sleep_until_still
  pointer move $rx $ry down move $((rx + 40)) $((ry + 40)) move $((rx + rw - 1)) $((ry + rh - 1)) wait 100 up
  gone_selector
  sleep_until_still
  save_capture "$E2E_TMP/$1.bmp"
  expect_picture "$E2E_TMP/$1.bmp" "$E2E_TMP/$1.png" "the dragged region ($1), against grim"
}
region_against_grim region
route_was screencopy
pass "Wayland: a dragged region comes out as grim sees it"

# ---- 3. Esc cancels and changes nothing.
wayland_press Command7
pointer move 5 5
sleep_until_still
grim "$E2E_TMP/before.png"
wayland_press Command5
wait_selector
sleep_until_still
wtype -k Escape
gone_selector
pointer move 5 5
sleep_until_still
grim "$E2E_TMP/after.png"
same_pixels "$E2E_TMP/before.png" "$E2E_TMP/after.png" || fail "a cancelled capture changed the window"
pass "Wayland: Esc cancels and changes nothing"
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
gone_sway 'Lumaro {9}'

# ---- 2b. The same region through the portal, the screen copy left out.
LUMARO_CAPTURE=portal lumaro_at wayland
pointer move 5 5
sleep_until_still
region_against_grim region-portal
route_was portal
pass "Wayland: without the screen copy, the portal gives the same region"
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
gone_sway 'Lumaro {9}'
# What the portal wrote for its capture, the whole screen, is gone: no
# picture made since the first capture lies anywhere in the home folder or
# directly in a temporary folder, where portals put theirs.
left=$( (find "$HOME" -xdev -type f -newer "$E2E_TMP/before-captures"
  find /tmp /var/tmp -maxdepth 1 -type f -user "$(id -u)" -newer "$E2E_TMP/before-captures") 2>/dev/null |
  grep -iE '\.(png|jpe?g|ppm|bmp)$' || true)
[[ -z "$left" ]] || fail "the captures left pictures of the screen behind: $left"
pass "Wayland: no picture of the screen is left behind"

# ---- 4. Through XWayland: the portal's pixels, not an X11 grab's.
# The X server starts with the first X client; sway knows its display. Here
# the clicks and keys go in through XWayland (XTEST): after one of the
# program's X windows has closed, sway 1.7 no longer passes a virtual
# pointer's clicks to its other X windows.
swaymsg exec "echo \$DISPLAY >'$E2E_TMP/xdisplay'" >/dev/null
wait_for 10 "sway's X display" test -s "$E2E_TMP/xdisplay"
export DISPLAY=$(cat "$E2E_TMP/xdisplay")
lumaro_at xcb
xdotool mousemove 5 5
sleep_until_still
# Only sway's own background, a Wayland surface, inside this rectangle.
rx=20 ry=20 rw=200 rh=120
grim -g "$rx,$ry ${rw}x$rh" "$E2E_TMP/xw-expected.png"
x_press() {
  local p
  read -r -a p < <(centre "$1")
  xdotool mousemove "${p[@]}" click 1
}
x_press Command5
wait_selector
sleep_until_still
xdotool mousemove $rx $ry mousedown 1 mousemove $((rx + 40)) $((ry + 40))
xdotool keydown alt mousemove $((rx + rw - 1)) $((ry + rh - 1)) mouseup 1 keyup alt
gone_selector
sleep_until_still
x_press Command6
wait_sway '^打开文件$' >/dev/null
sleep_until_still
out=$E2E_TMP/xwayland.bmp
xdotool type --delay 2 "$out"
for _ in 1 2 3; do
  xdotool key Return
  sleep 0.5
  swaymsg -t get_tree | grep -q '"name": "打开文件"' || break
done
wait_for 15 "the saved capture" bash -c "[[ -s '$out' ]] && identify '$out' >/dev/null 2>&1"
same_pixels "$out" "$E2E_TMP/xw-expected.png" ||
  fail "under XWayland the capture is not what grim sees (an X11 grab would be black here)"
route_was screencopy
pass "XWayland: the compositor's picture, not a black X11 grab"
sanitizer_clean
finish
