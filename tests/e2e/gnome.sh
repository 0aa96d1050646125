#!/usr/bin/env bash
# Capture inside GNOME Shell, headless, with GNOME's desktop portal. The
# program runs natively on Wayland, where GNOME offers no screen copy of its
# own to programs: the picture comes through the portal (the log names the
# route). Keys and the pointer go in through mutter's remote desktop
# interface, the program's buttons and its file dialog over AT-SPI
# (gnome_drive.py).
#   1. a dragged region, saved with 保存图片, has exactly the pixels of the
#      same region of a screenshot taken through the portal just before;
#   2. ten captures, each taken with a single click the moment the selector
#      is shown, the pointer still, leave no new file anywhere in the home
#      folder (GNOME's portal writes each screenshot there or to ~/Pictures),
#      and the first click always counts;
#   3. through XWayland (the program on its X11 platform inside the
#      session), the same route and the same pixels as in 1.
# gnome-shell needs logind: a mock of it answers on a private system bus.
E2E_AS_USER=1
source "$(dirname "$0")/lib.sh"
need gnome-shell pipewire dbus-daemon dbus-launch dbus-send compare identify /usr/bin/python3
/usr/bin/python3 -c 'import dbusmock, pyatspi' 2>/dev/null || skip "python3-dbusmock or python3-pyatspi is not installed"
for f in /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-desktop-portal-gnome /usr/libexec/xdg-permission-store; do
  [[ -x $f ]] || skip "$f is not installed (xdg-desktop-portal-gnome)"
done
launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
  [[ -x $candidate ]] && launcher=$candidate && break
done
[[ -n "$launcher" ]] || skip "at-spi-bus-launcher is not installed"

W=1280 H=800
PROGRAM=$1
unset DISPLAY WAYLAND_DISPLAY XDG_DATA_HOME
# Settings stay in memory: nothing of the session itself lands in the home.
export GSETTINGS_BACKEND=memory XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland

# ---- The session: logind's mock on a system bus of its own, a session bus,
# PipeWire, the shell, the portal with the screenshot allowed.
system_bus=$E2E_TMP/system_bus
dbus-daemon --session --address="unix:path=$system_bus" --nofork --nopidfile >"$E2E_TMP/system-bus.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 10 "the private system bus" test -S "$system_bus"
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$system_bus
/usr/bin/python3 -m dbusmock --system --template logind >"$E2E_TMP/logind.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 10 "logind's mock" bash -c 'dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
  org.freedesktop.DBus.NameHasOwner string:org.freedesktop.login1 2>/dev/null | grep -q true'

eval "$(dbus-launch --sh-syntax)"
E2E_PIDS+=("$DBUS_SESSION_BUS_PID")
"$launcher" --launch-immediately >"$E2E_TMP/atspi.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 10 "the accessibility bus" owned org.a11y.Bus
pipewire >"$E2E_TMP/pipewire.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 10 "PipeWire" test -S "$XDG_RUNTIME_DIR/pipewire-0"

# The shell's one-time notice that there is no lock screen without GDM
# would come and go over the pictures compared below: it counts as shown.
mkdir -p "$HOME/.local/share/gnome-shell"
touch "$HOME/.local/share/gnome-shell/lock-warning-shown"
gnome-shell --headless --wayland --virtual-monitor "${W}x$H" >"$E2E_TMP/shell.log" 2>&1 &
SHELL_PID=$!
E2E_PIDS+=("$SHELL_PID")
# The shell starts the input-method daemon through a fork whose child runs
# the shell's script code before exec. Under load that child can block for
# good on a lock another thread of the shell held at the fork, and the
# shell's main loop then waits on it, answering no Wayland client (seen as a
# portal that never comes up). A fork of the shell that has not reached exec
# within 5 s never will: it is ended, and the shell carries on as if the
# daemon had started (it is not installed here anyway).
unstick_forks() {
  local exe child age
  exe=$(readlink "/proc/$SHELL_PID/exe") || return 0
  while kill -0 "$SHELL_PID" 2>/dev/null; do
    for child in $(pgrep -P "$SHELL_PID"); do
      [[ $(readlink "/proc/$child/exe" 2>/dev/null) == "$exe" ]] || continue
      age=$(ps -o etimes= -p "$child" 2>/dev/null) || continue
      if ((age >= 5)); then
        kill -KILL "$child" 2>/dev/null && echo "ended fork $child of the shell, stuck before exec" >&2
      fi
    done
    sleep 0.5
  done
}
unstick_forks 2>>"$E2E_TMP/stuck-forks.log" &
E2E_PIDS+=($!)
shell_up() {
  kill -0 "$SHELL_PID" 2>/dev/null || fail "gnome-shell ended: $(tail -n 20 "$E2E_TMP/shell.log")"
  compgen -G "$XDG_RUNTIME_DIR/wayland-*.lock" >/dev/null && owned org.gnome.Shell.Screenshot &&
    owned org.gnome.Mutter.RemoteDesktop
}
wait_for 120 "gnome-shell" shell_up
WAYLAND_DISPLAY=$(basename "$(compgen -G "$XDG_RUNTIME_DIR/wayland-*.lock" | head -n1)" .lock)
export WAYLAND_DISPLAY
dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_RUNTIME_DIR XDG_SESSION_TYPE \
  GSETTINGS_BACKEND DBUS_SYSTEM_BUS_ADDRESS

/usr/libexec/xdg-permission-store >"$E2E_TMP/permission-store.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 10 "the permission store" owned org.freedesktop.impl.portal.PermissionStore
# The screenshot without asking, as a person who allowed it once has.
dbus-send --session --print-reply --dest=org.freedesktop.impl.portal.PermissionStore \
  /org/freedesktop/impl/portal/PermissionStore org.freedesktop.impl.portal.PermissionStore.SetPermission \
  string:screenshot boolean:true string:screenshot string:"" array:string:yes >/dev/null ||
  fail "the portal's permission store does not answer"
/usr/libexec/xdg-desktop-portal-gnome >"$E2E_TMP/portal-gnome.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 60 "GNOME's portal backend" owned org.freedesktop.impl.portal.desktop.gnome
/usr/libexec/xdg-desktop-portal -r >"$E2E_TMP/portal.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 60 "the desktop portal" owned org.freedesktop.portal.Desktop

# ---- The driver, one process that keeps its remote desktop session.
coproc DRIVE { exec /usr/bin/python3 -u "$E2E_DIR/gnome_drive.py" 2>"$E2E_TMP/drive.log"; }
E2E_PIDS+=("$DRIVE_PID")
drive_reply=""
# drive COMMAND...: one command to the driver; its answer in drive_reply.
drive() {
  echo "$*" >&"${DRIVE[1]}"
  local answer
  IFS= read -r -t 60 answer <&"${DRIVE[0]}" || fail "the driver did not answer $*: $(tail -n 5 "$E2E_TMP/drive.log")"
  [[ $answer == ok* ]] || fail "$*: $answer"
  drive_reply=${answer#ok}
  drive_reply=${drive_reply# }
}
drive_try() { echo "$*" >&"${DRIVE[1]}"; local a; IFS= read -r -t 60 a <&"${DRIVE[0]}" && [[ $a == ok* ]]; }
IFS= read -r -t 60 ready <&"${DRIVE[0]}" || fail "the driver did not start: $(tail -n 20 "$E2E_TMP/drive.log")"
[[ $ready == "ok ready" ]] || fail "the driver: $ready $(tail -n 20 "$E2E_TMP/drive.log")"

# shot FILE: the whole screen through the portal, the portal's own file moved away.
portal_shot() { drive portal "$1"; }
still_shot() { portal_shot "$1"; }
STILL_TYPE=png STILL_PAUSE=0.2
window_shown() { drive_try window "$1"; }
wait_shown() { wait_for 20 "a window named $1" window_shown "$1"; }
# closed_within SECONDS NAME: the window NAME closes within that time.
closed_within() {
  local deadline=$((SECONDS + $1))
  while window_shown "$2"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_LOGGING_RULES="lumaro.capture.debug=true"

# drag_region X Y W H: a drag over the region in the selector, released there.
drag_region() {
  drive move "$1" "$2"
  drive down
  drive move $(($1 + 40)) $(($2 + 40))
  drive move $(($1 + $3 - 1)) $(($2 + $4 - 1))
  drive up
}
files_since() { find "$HOME" -xdev -newer "$1" ! -type d 2>/dev/null || true; }

# ---- 1. A dragged region, natively on Wayland, against the portal's picture.
start_program "$PROGRAM" -platform wayland
wait_shown 'Lumaro         '
# The shell starts in its overview; Esc leaves it for the desktop.
drive key ff1b
touch "$E2E_TMP/before-captures"
drive move 4 $((H - 4))
sleep_until_still
reference=$E2E_TMP/reference.png
portal_shot "$reference"
echo "the portal wrote its screenshot to $drive_reply"
[[ ! -e $drive_reply ]] || fail "the reference's own file is still there"
# The picture display, a part of the window and the background; no text
# box, whose caret blinks.
rx=580 ry=100 rw=450 rh=320
# region_against_reference NAME WHAT: 截取屏幕, a drag over the region,
# 保存图片 as NAME.bmp; its pixels must be the region's in $reference.
region_against_reference() {
  convert "$reference" -crop "${rw}x$rh+$rx+$ry" +repage "$E2E_TMP/expected-$1.png"
  drive press 截取屏幕
  wait_shown 截取屏幕
  sleep_until_still
  drag_region $rx $ry $rw $rh
  closed_within 15 截取屏幕 || fail "$2: the drag did not take the region"
  drive press 保存图片
  wait_shown 打开文件
  local out=$E2E_TMP/out/$1.bmp
  mkdir -p "$E2E_TMP/out"
  drive save "$out"
  wait_for 15 "the saved capture" bash -c "[[ -s '$out' ]] && identify '$out' >/dev/null 2>&1"
  expect_picture "$out" "$E2E_TMP/expected-$1.png" "$2: the dragged region, against the portal's screenshot"
}
region_against_reference region Wayland
route_was portal
pass "GNOME, Wayland: a dragged region, saved as BMP, has the pixels of the portal's screenshot"

# ---- 2. Ten captures, one click each: nothing is left in the home folder.
# Each in a fresh start of the program: after a capture, Qt 6.4 reports the
# main window's buttons over AT-SPI under paths that no longer answer.
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
# The pointer stays where a person's is after pressing 截取屏幕: over the
# main window (at its place in the reference), first over the picture
# display, then along the window's lower part.
points=("400 250")
for i in $(seq 9); do points+=("$((50 + i * 50)) $((H - 200))"); done
background=$(convert "$reference" -format "%[pixel:p{4,$((H - 4))}]" info:)
for p in "${points[@]}"; do
  [[ $(convert "$reference" -format "%[pixel:p{${p% *},${p#* }}]" info:) != "$background" ]] ||
    fail "the pointer at $p would not be over the main window: the shell placed it elsewhere"
done
missed=0
for i in $(seq 10); do
  start_program "$PROGRAM" -platform wayland
  wait_shown 'Lumaro         '
  drive move ${points[i - 1]}
  drive press 截取屏幕
  wait_shown 截取屏幕
  # At once, the pointer still: mutter 43 moves the pointer's focus to a new
  # window only when the pointer moves, so the click reaches the main window
  # under the selector, and the selector must take it from there.
  drive click
  if ! closed_within 10 截取屏幕; then
    missed=$((missed + 1))
    echo "capture $i: the first click did nothing" >&2
    drive click
    closed_within 10 截取屏幕 || fail "capture $i: two clicks did not close the selector"
  fi
  route_was portal
  if ((i == 1)); then
    # The click took the element under the pointer on the screen: the
    # picture display, 200 x 192 at (311, 163).
    convert "$reference" -crop 200x192+311+163 +repage "$E2E_TMP/expected-click.png"
    drive press 保存图片
    wait_shown 打开文件
    drive save "$E2E_TMP/out/click.bmp"
    wait_for 15 "the saved capture" bash -c "[[ -s '$E2E_TMP/out/click.bmp' ]] && identify '$E2E_TMP/out/click.bmp' >/dev/null 2>&1"
    expect_picture "$E2E_TMP/out/click.bmp" "$E2E_TMP/expected-click.png" "a click over the main window"
  fi
  kill "$APP_PID"
  wait "$APP_PID" 2>/dev/null || true
done
((missed == 0)) || fail "in $missed of ten captures the first click on the selector did nothing"
pass "GNOME, Wayland: a click the moment the selector is shown, the pointer still, takes what is under it"
# Two files may appear, neither a picture: the shell's cache of its shutter
# sound, and the file dialog's list of recent folders.
left=$(files_since "$E2E_TMP/before-captures" |
  grep -vE "^$HOME/(\.cache/event-sound-cache\.tdb\.[^/]*|\.config/QtProject\.conf)$" || true)
[[ -z "$left" ]] || fail "the captures left files in the home folder: $left"
pass "GNOME, Wayland: eleven captures leave no file in the home folder"

# ---- 3. Through XWayland: the program on its X11 platform inside the
# session takes the same route, and gets the same pixels.
xwayland=""
for _ in $(seq 100); do
  xwayland=$(pgrep -P "$SHELL_PID" -x Xwayland || true)
  [[ -n "$xwayland" ]] && break
  sleep 0.1
done
[[ -n "$xwayland" ]] || fail "gnome-shell started no Xwayland"
DISPLAY=$(tr '\0' '\n' <"/proc/$xwayland/cmdline" | grep -m1 -E '^:[0-9]+$') || fail "no display in Xwayland's command line"
# Its clients need the cookie that mutter gave it.
XAUTHORITY=$(tr '\0' '\n' <"/proc/$xwayland/cmdline" | grep -A1 -x -- -auth | tail -n1)
export DISPLAY XAUTHORITY
start_program "$PROGRAM" -platform xcb
wait_shown 'Lumaro         '
drive move 4 $((H - 4))
sleep_until_still
portal_shot "$reference"
region_against_reference xwayland XWayland
route_was portal
pass "GNOME, XWayland: the same route, the same pixels"
sanitizer_clean
finish
