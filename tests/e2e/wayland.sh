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
#      that; with the pointer gone about and back, the selector shows
#      exactly what it showed before;
#   2. a drag over a region and Enter: the same, for that region, and once
#      more with the screen copy left out, through the portal;
#   3. a capture cancelled with Esc changes nothing, and no picture of the
#      screen is left behind anywhere;
#   4. through XWayland (the program on its X11 platform inside the session),
#      a region of the compositor's own background comes out exactly as grim
#      sees it, by the same route: an X11 grab there sees only X windows and
#      would give black.
# With E2E_SWAY_SCALE=S (2, or sway's fractional 1.5) the output has 1920x1080
# pixels of its own at scale S, and only these checks run, neither portal nor
# XWayland:
#   5. the selector covers the output, no pixel of the desktop left bare; a
#      click on the bare desktop takes the whole output, every one of its own
#      pixels as grim takes them (not Qt's idea of the screen: Qt 6.4 draws
#      at 2 at scale 1.5); a drag between two of the output's pixels that
#      no whole layout position falls in takes exactly grim's pixels between
#      them.
# sway refuses to run as root: as root, the test runs as an unprivileged user.
E2E_AS_USER=1
source "$(dirname "$0")/lib.sh"
SCALE=${E2E_SWAY_SCALE:-}
need sway swaymsg grim wtype dbus-launch compare identify convert /usr/bin/python3
[[ -x "${WLPOINTER:-}" ]] || skip "wlpointer was not built (libwayland-dev, libwayland-bin)"
if [[ -z $SCALE ]]; then
  need pipewire gdbus dbus-send Xwayland
  [[ -x /usr/libexec/xdg-desktop-portal && -x /usr/libexec/xdg-desktop-portal-wlr ]] ||
    skip "xdg-desktop-portal and xdg-desktop-portal-wlr are not installed"
fi

# ---- The session: a bus, sway, the portal's permission, a lasting keyboard.
# start_portal: the desktop portal with its wlr backend, the screenshot allowed.
start_portal() {
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
  wait_for 15 "the portal's wlr backend" owned org.freedesktop.impl.portal.desktop.wlr
}
eval "$(dbus-launch --sh-syntax)"
E2E_PIDS+=("$DBUS_SESSION_BUS_PID")
if [[ -n $SCALE ]]; then
  # PW x PH: the output's own pixels; W x H: the layout's, as the pointer counts.
  PW=1920 PH=1080
  start_sway "$PW" "$PH" scale "$SCALE"
  read -r W H < <(swaymsg -t get_outputs | /usr/bin/python3 -c '
import json, sys
r = json.load(sys.stdin)[0]["rect"]; print(r["width"], r["height"])')
else
  W=1280 H=1024
  export XDG_CURRENT_DESKTOP=sway:gnome
  start_sway "$W" "$H" xwayland
  start_portal
fi
lasting_input "$W" "$H"

pointer() { "$WLPOINTER" "$W" "$H" "$@"; }

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
still_shot() { grim -t ppm "$1"; }
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

# ---- 5. A scaled output (E2E_SWAY_SCALE): the output's own pixels.
if [[ -n $SCALE ]]; then
  # px_pointer X Y [command...]: the pointer to the middle of the output's
  # pixel X,Y (the layout spanned in half pixels), then the commands.
  px_pointer() {
    local x=$1 y=$2
    shift 2
    "$WLPOINTER" $((2 * PW)) $((2 * PH)) move $((2 * x + 1)) $((2 * y + 1)) "$@"
  }
  # px LOGICAL: the output's pixel under a layout position.
  px() { awk -v v="$1" -v s="$SCALE" 'BEGIN { printf "%d\n", int(v * s) }'; }
  # between P: the first of the output's pixels from P on that no whole
  # layout position falls in (at 2 the odd ones, at 1.5 every third): only
  # a pointer between two whole positions reaches it. P itself where every
  # pixel has one (scale 1).
  between() {
    awk -v p="$1" -v s="$SCALE" 'BEGIN {
      for (q = p; q < p + 4; q++) { n = int(q / s); if (n * s < q) n++; if (n * s >= q + 1) { print q; exit } }
      print p }'
  }
  lumaro_at wayland
  pointer move 5 5
  sleep_until_still
  wayland_press Command5
  wait_selector
  sleep_until_still
  [[ $(sway_rect '^截取屏幕$') == "0 0 $W $H" ]] ||
    fail "the selector is at $(sway_rect '^截取屏幕$'), not over the whole output (0 0 $W $H)"
  # The selector shows the desktop darkened: the desktop's own colour
  # anywhere means a gap.
  grim "$E2E_TMP/selector.png"
  bare=$(convert "$E2E_TMP/selector.png" -alpha off -fill black +opaque '#336699' -fill white -opaque '#336699' \
    -format '%[fx:int(mean * w * h + 0.5)]' info:)
  [[ $bare == 0 ]] || fail "at scale $SCALE the selector leaves $bare pixels of the desktop bare"
  pass "scale $SCALE: the selector covers the output"

  # The whole output, taken with the program's window as it is the moment
  # 截取屏幕 is pressed: as after a capture given up, the pointer still there.
  wtype -k Escape
  gone_selector
  sleep_until_still
  grim -o HEADLESS-1 "$E2E_TMP/output.png"
  [[ $(identify -format '%wx%h' "$E2E_TMP/output.png") == "${PW}x$PH" ]] ||
    fail "grim takes the output at $(identify -format '%wx%h' "$E2E_TMP/output.png"), not ${PW}x$PH"
  wayland_press Command5
  wait_selector
  sleep_until_still
  # On the bare desktop near the top left, where Qt puts windows it cannot place.
  px_pointer 30 30 wait 100
  px_pointer 31 30
  sleep_until_still
  pointer click
  gone_selector
  sleep_until_still
  save_capture "$E2E_TMP/output.bmp"
  expect_picture "$E2E_TMP/output.bmp" "$E2E_TMP/output.png" "the whole output at scale $SCALE, against grim"
  route_was screencopy
  pass "scale $SCALE: a click on the desktop takes the whole output, ${PW}x$PH, as grim does"

  # A drag from the desktop right of and above the window into the picture
  # display, between two of the output's own pixels that lie between whole
  # layout positions: the window's corner, the menu bar and the picture (the
  # first one again, 初始化) come along.
  read -r dx dy _ _ < <(control Imageshow)
  x0=$(between "$(px $((dx + 60)))") y0=$(between "$(px $((dy + 90)))")
  x1=$(between "$(px $((WX + WW + 30)))") y1=$(between "$(px $((WY - 10)))")
  wayland_press Command7
  pointer move 5 5
  sleep_until_still
  grim -o HEADLESS-1 "$E2E_TMP/before-drag.png"
  wayland_press Command5
  wait_selector
  sleep_until_still
  px_pointer "$x1" "$y1" down move $((2 * x1 - 79)) $((2 * y1 + 81)) move $((2 * x0 + 1)) $((2 * y0 + 1)) wait 100 up
  gone_selector
  sleep_until_still
  save_capture "$E2E_TMP/drag.bmp"
  convert "$E2E_TMP/before-drag.png" -crop "$((x1 - x0 + 1))x$((y0 - y1 + 1))+$x0+$y1" +repage "$E2E_TMP/drag.png"
  expect_picture "$E2E_TMP/drag.bmp" "$E2E_TMP/drag.png" "the drag at scale $SCALE, against grim's pixels"
  pass "scale $SCALE: a drag takes exactly the output's pixels between its two corners"
  sanitizer_clean
  finish
  exit 0
fi

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
# Each frame after the first goes to the buffer sway is not showing: with
# the pointer gone about and back, the output shows what it showed before.
pointer move $((px + 50)) $((py + 100))
sleep_until_still
grim "$E2E_TMP/selector-before.png"
for at in "300 200" "$((px + 90)) $((py + 140))" "40 40" "$((px + 20)) $((py + 20))"; do
  pointer move $at
  sleep_until_still
done
pointer move $((px + 50)) $((py + 100))
sleep_until_still
grim "$E2E_TMP/selector-after.png"
same_pixels "$E2E_TMP/selector-before.png" "$E2E_TMP/selector-after.png" ||
  fail "the selector shows other pixels with the pointer back where it was: $(compare -metric AE "$E2E_TMP/selector-before.png" "$E2E_TMP/selector-after.png" null: 2>&1)"
pass "Wayland: the selector shows the same frame with the pointer back where it was"
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
# The name is typed once sway has handed the dialog the X keyboard, which
# comes a moment after the dialog shows, and a little slower than on a bare
# X server, each key passing through sway: a run that typed at once and
# fast saved the capture, but not under the name typed.
wait_for 10 "the file dialog to have the X keyboard" \
  bash -c '[[ $(xdotool getwindowfocus getwindowname 2>/dev/null) == 打开文件 ]]'
out=$E2E_TMP/xwayland.bmp
xdotool type --delay 12 "$out"
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
