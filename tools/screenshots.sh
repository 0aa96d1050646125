#!/usr/bin/env bash
# Makes the pictures of Lumaro that the README and the software-centre
# metadata show, from the real program under Xvfb:
#   docs/screenshots/window.png     the window as it starts
#   docs/screenshots/selector.png   the region selector, adjusting a selection
#   bash scripts/build.sh && bash tools/screenshots.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/build/bin
export XDRIVE=$bin/xdrive LUMARO_CONTROLS=$bin/e2e_controls
source "$root/tests/e2e/lib.sh"
out=$root/docs/screenshots
mkdir -p "$out"

start_lumaro "$bin/lumaro" 1280x1024
read -r x y w h < <(geometry "$MAIN")
import -window root -crop "${w}x${h}+$x+$y" +repage "$out/window.png"

# The selector over the picture display: a selection dragged a little off,
# kept for adjusting (Ctrl at the release), the pointer over it.
read -r px py pw ph < <(control Imageshow)
press Command5
overlay=$(wait_window '^截取屏幕$')
settle
xdotool mousemove $((px + 12)) $((py + 10)) mousedown 1 mousemove $((px + 100)) $((py + 100))
xdotool keydown alt mousemove $((px + pw - 20)) $((py + ph - 14)) keydown ctrl mouseup 1 keyup ctrl keyup alt
xdotool mousemove $((px + 60)) $((py + 50))
settle
import -window root -crop "760x560+$((x - 40))+$((y - 30))" +repage "$out/selector.png"
xdotool key Escape
wait_gone "$overlay"
stop_program "$MAIN"
echo "made $out/window.png and $out/selector.png"
