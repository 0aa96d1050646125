#!/usr/bin/env bash
# lumaro.exe under Wine, as a person would use it: the title, then
# "截取屏幕", a drag over the picture, "保存图片" as "截图 1.bmp" through the
# system's save dialog, and the file's pixels against an independent
# screenshot of the same region of the X display; "颜色" shows the system's
# colour dialog. Wine draws the window's frame itself (there is no window
# manager on Xvfb), so the client area lies inside the X window.
#   XDRIVE=host/xdrive bash tests/windows/capture.sh build-windows/bin/lumaro.exe
# LUMARO_WINEPREFIX names the Wine prefix (default: wine/ beside bin/).
# E2E_DPI (say 144, for 150 %) sets Windows' own scale, LogPixels, in that
# prefix: the window, the drag and the capture on show are then in the
# screen's pixels, the capture shown one to one.
program=$(realpath "$1")
bin=$(dirname "$program")
LUMARO_CONTROLS= # the table comes from the Windows build itself, below
source "$(dirname "$0")/../e2e/lib.sh"
source "$(dirname "$0")/wine.sh"
need import compare identify xprop xclip
[[ -x $WINE ]] || skip "Wine is not installed (bash scripts/deps.sh --windows)"
wine_prefix "${LUMARO_WINEPREFIX:-$bin/../wine}"
trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT
DISPLAY= "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$E2E_DPI" /f >/dev/null 2>&1
wineserver -w

# The program's own table of controls, from the Windows build.
(cd "$bin" && "$WINE" e2e_controls.exe -platform offscreen) | tr -d '\r' >"$E2E_CONTROLS"
wineserver -w
grep -q '^Command5 ' "$E2E_CONTROLS" || fail "e2e_controls.exe printed no table: $(head -c 300 "$E2E_CONTROLS")"

# Wine's trace of the common dialogs tells which file dialog shows.
start_program() {
  (cd "$bin" && WINEDEBUG=trace+commdlg exec "$WINE" "$program") >"$E2E_TMP/app.log" 2>&1 &
  APP_PID=$!
  E2E_PIDS+=("$APP_PID")
}

start_display 1280x1024
xsetroot -solid '#3a6ea5'
start_program
MAIN=$(wait_window '^Lumaro         $')
title=$(xprop -id "$MAIN" _NET_WM_NAME | sed -E 's/^[^"]*"(.*)"$/\1/')
[[ $title == "Lumaro         " ]] || fail "title is '$title'"
pass "title: Lumaro and nine blanks"

# The frame is as wide at the bottom as at the sides. Read once the screen
# rests: on its first show the window may still grow by the menu bar's
# last pixel.
settle
read -r x y w h < <(geometry "$MAIN")
read -r _ _ CLIENT_W CLIENT_H < <(control_row client)
# At a fractional scale Windows gives the client area the whole pixels
# below its logical size times the scale (742 of 742.5 at 150 %).
CLIENT_W=$(scaled_down "$CLIENT_W") CLIENT_H=$(scaled_down "$CLIENT_H")
border=$(((w - CLIENT_W) / 2))
CX=$((x + border)) CY=$((y + h - border - CLIENT_H))
# The client area's bottom-right corner shows the window's background, the
# pixel beyond it the frame.
bg=$(pixel $((CX + CLIENT_W - 2)) $((CY + CLIENT_H - 2)))
read -r ix iy iw ih < <(control Imageshow)
[[ $(pixel $((ix + iw / 2)) $((iy + ih / 2))) != "$bg" ]] || fail "no picture at the place of Imageshow"
pass "the window shows at ${CX},${CY} (frame $border px)"

read -r px0 py0 pw ph < <(control Imageshow)
px1=$((px0 + pw - 1)) py1=$((py0 + ph - 1))
shot "$px0" "$py0" "$pw" "$ph" "$E2E_TMP/expected.png"

open_selector
drag_corners "$px0" "$py0" "$px1" "$py1"
# The capture shows in Picture1, one to one, inside its sunken border.
shown_one_to_one "$E2E_TMP/expected.png"
pass "the capture shows one to one"

# Saved through the system's own save dialog (Wine's), whose file-name box
# has the focus, under a name with Chinese letters and a space.
mkdir -p "$E2E_TMP/截图 目录"
out="$E2E_TMP/截图 目录/截图 1.bmp"
press Command6
dialog=$(wait_window '^打开文件$')
# Wine's own file dialog says so in its trace (start_program turns it on).
grep -q 'trace:commdlg:FILEDLG95_InitControls' "$E2E_TMP/app.log" || fail "the save dialog is not the system's"
# The Windows program sees the Unix file system as drive Z:. Wine takes no
# typed Chinese letters from xdotool: the name comes through the clipboard.
printf '%s' "Z:$(tr / '\\' <<<"$out")" | xclip -selection clipboard
xdotool key ctrl+a ctrl+v
file_dialog_answer "$dialog" ""
wait_for 20 "the saved capture" bash -c '[[ -s "$1" ]] && identify "$1" >/dev/null 2>&1' _ "$out"
[[ $(head -c 2 "$out") == BM ]] || fail "the saved file is not a BMP"
expect_picture "$out" "$E2E_TMP/expected.png" "the saved capture, against an independent screenshot"
pass "a dragged capture saves exactly the screen's pixels as '截图 1.bmp' through the system's save dialog"

# 颜色 (the top layer's colour): the system's colour dialog; cancelled, it
# closes and the program goes on.
press Command2
colour=$(wait_window '^(Color|颜色)$')
grep -q 'trace:commdlg:ChooseColorW' "$E2E_TMP/app.log" || fail "the colour dialog is not the system's"
xdotool key Escape
wait_gone "$colour"
pass "颜色 shows the system's colour dialog"

stop_program "$MAIN"
wineserver -w
finish

