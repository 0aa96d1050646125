#!/usr/bin/env bash
# A picture of the Windows build running under Wine, for the README:
#   docs/screenshots/windows.png   lumaro.exe with a Chinese caption placed
#                                  on the picture (Wine draws the frame)
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
"$XDRIVE" close "$MAIN"
wineserver -w
echo "made $out/windows.png"
