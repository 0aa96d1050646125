#!/usr/bin/env bash
# Two screens side by side: one Xvfb of 2304x1024 split into two monitors
# (1280x1024 at 0,0 and 1024x768 at 1280,0), which Qt reads as two screens.
# A drag across the seam must give exactly the pixels an independent
# screenshot of the same rectangle shows, and so must one click on another
# program's window that lies across it.
source "$(dirname "$0")/lib.sh"
need xrandr import compare identify display

start_display 2304x1024
# The first takes over the output "screen", so its own monitor goes.
xrandr --setmonitor left 1280/338x1024/270+0+0 screen >/dev/null
xrandr --setmonitor right 1024/270x768/203+1280+0 none >/dev/null
[[ $(xrandr --listmonitors | head -n1) == "Monitors: 2" ]] || skip "this Xvfb cannot split into monitors"
# Something to see on both sides of the seam: a picture across it, shown by
# another program.
convert -size 400x600 'gradient:#3060c0-#e0a020' -rotate 90 -fill white -draw 'circle 300,200 330,230' \
  "$E2E_TMP/seam.png"
display -geometry +1000+50 "$E2E_TMP/seam.png" &
E2E_PIDS+=($!)
wait_window '^ImageMagick' >/dev/null
start_lumaro "$1"

# A plain drag, no Alt: nothing here lies beside its corners, so it takes
# exactly the dragged pixels.
x0=1100 y0=240 x1=1480 y1=520
shot $x0 $y0 $((x1 - x0 + 1)) $((y1 - y0 + 1)) "$E2E_TMP/expected.png"
open_selector
# The second screen's selector covers it too.
[[ $(xdotool search --onlyvisible --name '^截取屏幕$' | wc -l) -eq 2 ]] || fail "not one selector window on each screen"
xdotool mousemove $x0 $y0 mousedown 1 mousemove 1250 300 mousemove 1300 350
xdotool mousemove $x1 $y1
settle 150
xdotool mouseup 1
wait_gone "$OVERLAY"
settle
out=$E2E_TMP/seam.bmp
save_capture "$out"
expect_picture "$out" "$E2E_TMP/expected.png" "the capture across the seam"
pass "a drag across the seam gives the exact pixels of both screens"

# One click on another program's window takes that window, exactly.
viewer=$(find_window '^ImageMagick')
read -r vx vy vw vh < <(geometry "$viewer")
# The window as the X server draws it: its border too.
b=$(xwininfo -id "$viewer" | awk '/Border width/{print $NF}')
vw=$((vw + 2 * b)) vh=$((vh + 2 * b)) # xwininfo gives the outer corner already
press Command7
settle
shot "$vx" "$vy" "$vw" "$vh" "$E2E_TMP/viewer.png"
open_selector
xdotool mousemove $((vx + 30)) $((vy + 30))
settle 150
xdotool click 1
wait_gone "$OVERLAY"
settle
save_capture "$E2E_TMP/viewer.bmp"
expect_picture "$E2E_TMP/viewer.bmp" "$E2E_TMP/viewer.png" "one click on the other window"
pass "one click takes another program's window, across the seam, exactly"
stop_program "$MAIN"
finish
