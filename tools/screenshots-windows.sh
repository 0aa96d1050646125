#!/usr/bin/env bash
# Pictures of the Windows build running under Wine, for the README:
#   docs/screenshots/windows.png              lumaro.exe with a Chinese caption
#                                             placed on the picture (Wine draws
#                                             the frame)
#   docs/screenshots/windows-save-dialog.png  保存图片: the system's save dialog
#                                             (Wine's own) over the window
#   docs/screenshots/windows-installer.png    the installer's first page
#   bash scripts/windows.sh --build && bash tools/screenshots-windows.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-windows
export XDRIVE=$build/host/xdrive LUMARO_WINEPREFIX=$build/wine
program=$build/bin/lumaro.exe
bin=$build/bin
LUMARO_CONTROLS=
source "$root/tests/e2e/lib.sh"
source "$root/tests/windows/wine.sh"
wine_prefix "$LUMARO_WINEPREFIX"
trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT
out=$root/docs/screenshots
mkdir -p "$out"

(cd "$bin" && "$WINE" e2e_controls.exe -platform offscreen) | tr -d '\r' >"$E2E_CONTROLS"
wineserver -w
start_display 1024x768
xsetroot -solid '#3a6ea5'
(cd "$bin" && exec "$WINE" "$program") >"$E2E_TMP/app.log" 2>&1 &
APP_PID=$!
E2E_PIDS+=("$APP_PID")
MAIN=$(wait_window '^Lumaro         $')
read -r x y w h < <(geometry "$MAIN")
read -r _ _ CLIENT_W CLIENT_H < <(control_row client)
border=$(((w - CLIENT_W) / 2))
CX=$((x + border)) CY=$((y + h - border - CLIENT_H))
settle

# A caption in Chinese: typed into the text box, set on the top layer
# ("顶层文字修改"), placed with a click on the picture.
read -r tx ty < <(centre LabelText)
xdotool mousemove "$tx" "$ty" click --repeat 3 1
xdotool type --delay 30 '截图标题'
press Command1
read -r ix iy iw ih < <(control Imageshow)
xdotool mousemove $((ix + iw / 4)) $((iy + ih * 2 / 3)) click 1
xdotool mousemove $((CX + CLIENT_W + 40)) $((CY + 40))
settle
import -window root -crop "${w}x${h}+$x+$y" +repage "$out/windows.png"

# A capture of the picture, then 保存图片: the system's save dialog, with a
# Chinese file name put in (Wine takes typed Chinese letters only through
# the clipboard); the dialog is left without saving.
read -r ix iy iw ih < <(control Imageshow)
press Command5
OVERLAY=$(wait_window '^截取屏幕$')
settle
drag_corners "$ix" "$iy" $((ix + iw - 1)) $((iy + ih - 1))
press Command6
dialog=$(wait_window '^打开文件$')
printf '%s' '截图 1.bmp' | xclip -selection clipboard
xdotool key ctrl+a ctrl+v
settle
read -r x y w h < <(geometry "$dialog")
import -window root -crop "${w}x${h}+$x+$y" +repage "$out/windows-save-dialog.png"
# Nothing is saved: the program ends with its dialog open.
wineserver -k
wineserver -w

# The installer's first page, as a person starts it (not silent); nothing is
# installed, the installer is ended with the display.
installer=$(ls "$build"/lumaro-*-win64.exe | head -n1)
"$WINE" "$installer" >"$E2E_TMP/app.log" 2>&1 &
APP_PID=$!
E2E_PIDS+=("$APP_PID")
page=$(wait_window '^Lumaro')
settle
read -r x y w h < <(geometry "$page")
import -window root -crop "${w}x${h}+$x+$y" +repage "$out/windows-installer.png"
wineserver -k
echo "made $out/windows.png, $out/windows-save-dialog.png and $out/windows-installer.png"
