#!/usr/bin/env bash
# Capture under KWin, KDE Plasma's compositor: headless (its virtual
# backend), with its own XWayland, on a session bus of its own. The program
# runs on its X11 platform inside that session, where the X server sees only
# X windows and the screen must come from the compositor, and natively on
# Wayland. Under X11, clicks and keys go in through XWayland (XTEST); on
# Wayland through KWin's fake input (wlpointer), and KWin's own scripting
# says where the windows are.
#   1. KWin lets programs read the screen (as it does an installed Lumaro,
#      whose desktop entry lists ScreenShot2): one click on the picture
#      display takes exactly what KWin's screenshot interface shows there, and
#      the log names the route, kwin; 保存图片 writes those pixels. The same
#      once on X11 and once natively on Wayland, and neither leaves a picture
#      of the screen behind;
#   2. KWin refuses (its permission check on, the program run from the build
#      tree, not installed): the capture falls back to the desktop portal,
#      which either gives the same pixels or says honestly why it cannot; the
#      program goes on either way;
#   3. installed, with KWin's permission check on: KWin allows the program
#      through its desktop entry, and the capture takes its route again.
source "$(dirname "$0")/lib.sh"
need cmake kwin_wayland Xwayland dbus-launch dbus-send compare identify convert /usr/bin/python3
/usr/bin/python3 -c 'import dbus' 2>/dev/null || skip "python3-dbus is not installed (bash scripts/deps.sh --test)"
[[ -x "${WLPOINTER:-}" ]] || skip "wlpointer was not built (libwayland-dev, libwayland-bin, plasma-wayland-protocols)"

W=1280 H=800
PROGRAM=$1
SHOT="/usr/bin/python3 $E2E_DIR/kwin_shot.py"
export QT_LOGGING_RULES="lumaro.capture.debug=true"

# kwin_wayland carries file capabilities, which this sandbox refuses to
# execute; a copy has none (and needs none headless).
mkdir -p "$E2E_TMP/kwin"
cp "$(command -v kwin_wayland)" "$E2E_TMP/kwin/kwin_wayland"
printf '#!/bin/sh\necho "$DISPLAY" >"%s"\n' "$E2E_TMP/xdisplay" >"$E2E_TMP/kwin/tell-display"
chmod +x "$E2E_TMP/kwin/tell-display"


# start_kwin [VARIABLE=VALUE...]: a new session bus and KWin on it, with
# those variables in KWin's environment; exports DISPLAY (its XWayland).
# The accessibility bus comes with it, started here rather than on demand, so
# that nothing outlives the test (and messages can be read).
start_kwin() {
  start_atspi
  rm -f "$E2E_TMP/xdisplay"
  env "$@" "$E2E_TMP/kwin/kwin_wayland" --virtual --width "$W" --height "$H" --no-lockscreen \
    --no-global-shortcuts --socket wayland-0 --xwayland "$E2E_TMP/kwin/tell-display" \
    >"$E2E_TMP/kwin.log" 2>&1 &
  KWIN_PID=$!
  E2E_PIDS+=("$KWIN_PID")
  wait_for 30 "KWin's screenshot interface" owned org.kde.KWin.ScreenShot2
  wait_for 30 "KWin's XWayland" test -s "$E2E_TMP/xdisplay"
  export WAYLAND_DISPLAY=wayland-0 DISPLAY=$(cat "$E2E_TMP/xdisplay") XDG_CURRENT_DESKTOP=KDE
  export XDG_SESSION_TYPE=wayland QT_QPA_PLATFORM=xcb
  # Services started on demand (the desktop portal) join the session, as
  # in a Plasma session.
  dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XDG_CURRENT_DESKTOP XDG_RUNTIME_DIR XDG_SESSION_TYPE
  E2E_DISPLAY_STARTED=1
}
stop_kwin() {
  kill "$KWIN_PID" "$DBUS_SESSION_BUS_PID" 2>/dev/null || true
  wait "$KWIN_PID" 2>/dev/null || true
}

# Where KWin refuses this program its pictures, the screen settles instead.
still_shot() { [[ -z "${KWIN_REFUSES:-}" ]] && { $SHOT "$1" 2>/dev/null || fail "KWin gives no picture of the screen"; }; }

# lumaro: starts the program; sets MAIN, CX CY (the client area's corner).
lumaro() {
  start_program "$PROGRAM"
  MAIN=$(wait_window '^Lumaro {9}$')
  # KWin places the window once it is mapped: where it is, once at rest.
  sleep_until_still
  local x y w h
  read -r x y w h < <(geometry "$MAIN")
  read -r _ _ _ CLIENT_H < <(control_row client)
  CX=$x CY=$((y + h - CLIENT_H))
}


# capture_display: 截取屏幕, one click on the picture display, 保存图片 to FILE;
# REFERENCE gets KWin's own picture of the display beforehand.
capture_display() {
  local file=$1 reference=$2 px py pw ph
  read -r px py pw ph < <(control Imageshow)
  xdotool mousemove 5 5
  sleep_until_still
  [[ -z "$reference" ]] || $SHOT "$reference" "$px" "$py" "$pw" "$ph" || fail "KWin refused the reference picture"
  press Command5
  local selector
  selector=$(wait_window '^截取屏幕$')
  sleep_until_still
  xdotool mousemove $((px + 50)) $((py + 100)) sleep 0.1 mousemove $((px + 51)) $((py + 100))
  sleep_until_still
  xdotool click 1
  wait_gone "$selector"
  sleep_until_still
  [[ -z "$file" ]] || save_capture "$file"
}

# ---- Natively on Wayland, where no X tool sees the windows: KWin itself
# lists them (a script of its own, whose output goes to its log), and the
# pointer and keys go in through KWin's fake input (wlpointer).
# kwin_windows: "x y w h caption" per window KWin manages: the program's own
# surface (its buffer), without KWin's frame. KWin trims the blanks around
# a caption.
kwin_windows() {
  # Each list has a mark of its own in the log (the calls run in subshells).
  local mark=windows-${EPOCHREALTIME/./} script=$E2E_TMP/windows.js
  cat >"$script" <<EOF
var cs = workspace.clientList();
for (var i = 0; i < cs.length; ++i) {
    var g = cs[i].bufferGeometry;
    print("$mark " + g.x + " " + g.y + " " + g.width + " " + g.height + " " + cs[i].caption);
}
print("$mark end");
EOF
  dbus-send --session --print-reply --dest=org.kde.KWin /Scripting org.kde.kwin.Scripting.loadScript \
    string:"$script" string:"$mark" >/dev/null || fail "KWin takes no script"
  dbus-send --session --print-reply --dest=org.kde.KWin /Scripting org.kde.kwin.Scripting.start >/dev/null
  wait_for 10 "KWin's list of windows" grep -q "^js: $mark end$" "$E2E_TMP/kwin.log"
  dbus-send --session --print-reply --dest=org.kde.KWin /Scripting org.kde.kwin.Scripting.unloadScript \
    string:"$mark" >/dev/null
  sed -n "s/^js: $mark \([-0-9.]* [-0-9.]* [-0-9.]* [-0-9.]* .*\)$/\1/p" "$E2E_TMP/kwin.log"
}
# kwin_rect REGEX: "x y w h" of the first window whose caption matches.
kwin_rect() {
  local x y w h caption
  while read -r x y w h caption; do
    [[ $caption =~ $1 ]] && { echo "${x%.*} ${y%.*} ${w%.*} ${h%.*}"; return 0; }
  done < <(kwin_windows)
  return 1
}
wait_kwin() { wait_for 20 "a window named /$1/" kwin_rect "$1" >/dev/null; kwin_rect "$1"; }
kwin_gone() { ! kwin_rect "$1" >/dev/null; }
wait_kwin_gone() { wait_for 20 "the window /$1/ to close" kwin_gone "$1"; }
pointer() { "$WLPOINTER" "$W" "$H" "$@" || fail "KWin took no input from wlpointer"; }
wl_press() {
  local p
  read -r -a p < <(centre "$1")
  pointer move "${p[@]}" wait 50 click
}

# ---- 1. KWin allows it: the capture goes through ScreenShot2.
start_kwin KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 \
  QT_LOGGING_RULES="$QT_LOGGING_RULES;kwin_scripting.debug=true"
lumaro
touch "$E2E_TMP/before-captures"
capture_display "$E2E_TMP/kwin.bmp" "$E2E_TMP/kwin-expected.ppm"
route_was kwin
expect_picture "$E2E_TMP/kwin.bmp" "$E2E_TMP/kwin-expected.ppm" "one click on the picture display, against KWin's picture"
pass "KWin: one click on the picture display takes exactly KWin's pixels, by its screenshot interface; 保存图片 writes them"

# ---- 1b. The same natively on Wayland, in the same KWin: the program on
# Qt's Wayland platform.
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
# A pointer and keyboard that last, so that the program keeps its keyboard
# while each command adds and removes its own.
"$WLPOINTER" "$W" "$H" wait 3600000 &
E2E_PIDS+=($!)
QT_QPA_PLATFORM=wayland start_program "$PROGRAM"
read -r wx wy ww wh < <(wait_kwin '^Lumaro$')
read -r _ _ _ CLIENT_H < <(control_row client)
CX=$wx CY=$((wy + wh - CLIENT_H))
pointer move 5 5
sleep_until_still
read -r px py pw ph < <(control Imageshow)
$SHOT "$E2E_TMP/wl-expected.ppm" "$px" "$py" "$pw" "$ph" || fail "KWin refused the reference picture"
shown_before=$(grep -c 'selector: painted as shown' "$E2E_TMP/app.log" || true)
wl_press Command5
wait_for 20 "the selector, painted" bash -c "(( \$(grep -c 'selector: painted as shown' '$E2E_TMP/app.log') > $shown_before ))"
wait_kwin '^截取屏幕$' >/dev/null
sleep_until_still
pointer move $((px + 50)) $((py + 100)) wait 100 move $((px + 51)) $((py + 100)) wait 50 click
wait_kwin_gone '^截取屏幕$'
sleep_until_still
route_was kwin
wl_press Command6
wait_kwin '^打开文件$' >/dev/null
sleep_until_still
out=$E2E_TMP/wayland.bmp
pointer type "$out"
for _ in 1 2 3; do
  pointer key Return wait 500
  kwin_gone '^打开文件$' && break
done
wait_for 15 "the saved capture" bash -c "[[ -s '$out' ]] && identify '$out' >/dev/null 2>&1"
expect_picture "$out" "$E2E_TMP/wl-expected.ppm" "natively on Wayland, one click on the picture display, against KWin's picture"
pass "KWin, Wayland: one click on the picture display takes exactly KWin's pixels, by its screenshot interface; 保存图片 writes them"
left=$(find "$HOME" -xdev -type f -newer "$E2E_TMP/before-captures" 2>/dev/null |
  grep -iE '\.(png|jpe?g|ppm|bmp)$' || true)
[[ -z "$left" ]] || fail "the captures left pictures of the screen behind: $left"
pass "KWin: no picture of the screen is left behind, on X11 or Wayland"
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
stop_kwin

# ---- 2. KWin refuses a program it does not know: the portal's turn. The
# message, if any, is read over AT-SPI.
start_kwin KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=0
if $SHOT "$E2E_TMP/refused.ppm" 2>"$E2E_TMP/refused.log"; then
  fail "KWin gave a picture to a program it does not know"
fi
KWIN_REFUSES=1
lumaro
read -r px py pw ph < <(control Imageshow)
xdotool mousemove 5 5
sleep_until_still
press Command5
# Either the selector over the portal's picture, or a message that says why
# there is none.
outcome() {
  xdotool search --onlyvisible --name '^截取屏幕$' >/dev/null 2>&1 && { echo selector; return 0; }
  xdotool search --onlyvisible --name '^Lumaro$' >/dev/null 2>&1 && { echo message; return 0; }
  return 1
}
wait_for 90 "the selector or a message" outcome >/dev/null
grep -q 'route: kwin failed' "$E2E_TMP/app.log" || fail "no refusal by KWin in the log: $(tail -n 5 "$E2E_TMP/app.log")"
case $(outcome) in
selector)
  route_was portal
  xdotool key Escape
  pass "KWin refuses: the portal reads the screen instead"
  ;;
message)
  message=$(xdotool search --onlyvisible --name '^Lumaro$' | head -n1)
  grep -q 'route: kwin failed.*then portal' "$E2E_TMP/app.log" || fail "the portal was not tried"
  # The reason is the portal's (what is missing, or what it answered).
  text=$(/usr/bin/python3 "$E2E_DIR/atspi_read.py" message) || fail "the message cannot be read"
  [[ $text == *无法截取屏幕* && $text == *桌面截图服务* ]] || fail "the message does not say why: $text"
  xdotool key --window "$message" Return 2>/dev/null || true
  "$XDRIVE" close "$message" 2>/dev/null || true
  wait_gone "$message"
  alive
  pass "KWin refuses and the portal cannot read the screen: a message says so (${text//$'\n'/ }), and the program goes on"
  ;;
esac
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
stop_kwin

# ---- 3. Installed (cmake --install, as the package installs it), KWin's
# permission check on: KWin finds the program's desktop entry by the path in
# its Exec line, sees ScreenShot2 among its restricted interfaces and allows
# it. Python is still refused, so the picture display is compared with the
# first capture's: the same picture, wherever the window is.
build=$(cd "$(dirname "$PROGRAM")/.." && pwd)
prefix=$E2E_TMP/prefix
cmake --install "$build" --prefix "$prefix" >"$E2E_TMP/install.log" 2>&1 || fail "cmake --install: $(tail -n 5 "$E2E_TMP/install.log")"
PROGRAM=$prefix/bin/lumaro
start_kwin KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=0 XDG_DATA_DIRS="$prefix/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
lumaro
capture_display "$E2E_TMP/installed.bmp" ""
route_was kwin
expect_picture "$E2E_TMP/installed.bmp" "$E2E_TMP/kwin.bmp" "the installed program's capture of the picture display"
pass "KWin allows the installed program by its desktop entry: the capture goes through ScreenShot2"
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
stop_kwin
sanitizer_clean
finish
