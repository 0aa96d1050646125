#!/usr/bin/env bash
# The program on a scaled screen (E2E_DPI: 144 is 150 %, 192 is 200 %), as
# a person with such a laptop uses it:
#   1. one click on the picture display takes exactly its pixels, and the
#      capture display shows them one to one: each captured pixel is one
#      pixel of the screen, as crisp as it was taken, not enlarged;
#   2. a free drag (Alt) between odd pixels of the screen, which Qt's whole
#      logical pixels cannot name at 150 %, takes exactly the pixels between
#      them; the selector's read-out says that size;
#   3. an arrow key moves the pointer by one pixel of the screen.
# Each capture is saved as a bitmap and compared with an independent
# screenshot of the same rectangle.
source "$(dirname "$0")/lib.sh"
need import compare identify
# The selector writes its read-out to the capture log.
export QT_LOGGING_RULES=lumaro.capture.debug=true

start_lumaro "$1" 1920x1080
# Where Qt's whole logical pixels cannot say where the window is: at 150 %
# a place of 3k + 1 screen pixels is a third of a logical pixel off.
xdotool windowmove "$MAIN" 535 154
wait_for 10 "the window to move" bash -c "[[ \$(xwininfo -id $MAIN | awk '/Absolute upper-left X/{print \$NF}') == 535 ]]"
settle
client_corner
read -r px py pw ph < <(control Imageshow)
shot "$px" "$py" "$pw" "$ph" "$E2E_TMP/display.png"

# 1. One click on the picture display.
click_capture $((px + pw / 3)) $((py + ph / 2))
save_capture "$E2E_TMP/click.bmp"
expect_picture "$E2E_TMP/click.bmp" "$E2E_TMP/display.png" "one click on the picture display"
shown_one_to_one "$E2E_TMP/click.bmp"
pass "one click takes the picture display, ${pw}x${ph}, exactly, and shows it one to one"
press Command7
settle

# 2. A free drag between odd pixels of the screen, inside the picture display.
x0=$(((px + 21) | 1)) y0=$(((py + 17) | 1)) x1=$(((px + pw - 40) | 1)) y1=$(((py + ph - 30) | 1))
w=$((x1 - x0 + 1)) h=$((y1 - y0 + 1))
shot "$x0" "$y0" "$w" "$h" "$E2E_TMP/drag-expected.png"
open_selector
xdotool mousemove "$x0" "$y0" mousedown 1
xdotool keydown alt mousemove $(((x0 + x1) / 2)) $(((y0 + y1) / 2))
xdotool mousemove "$x1" "$y1"
settle 150
# The read-out above the selection, as the person sees it.
import -window root "$E2E_TMP/dragging.png"
xdotool mouseup 1 keyup alt
wait_gone "$OVERLAY"
settle
save_capture "$E2E_TMP/drag.bmp"
expect_picture "$E2E_TMP/drag.bmp" "$E2E_TMP/drag-expected.png" "a drag from ($x0, $y0) to ($x1, $y1)"
shown_one_to_one "$E2E_TMP/drag.bmp"
pass "a drag between odd pixels takes exactly ${w}x${h} of them"
grep -q "selector: read-out ${w} × ${h} · 位置 ${x0}, ${y0}" "$E2E_TMP/app.log" ||
  fail "the read-out did not say ${w} × ${h} · 位置 ${x0}, ${y0}: $(grep 'read-out' "$E2E_TMP/app.log" | tail -n 1)"
pass "the read-out said the dragged size"
press Command7
settle

# 3. The arrow keys move the pointer by one pixel of the screen.
open_selector
xdotool mousemove 301 301
settle 150
xdotool key Right Right Right Down
settle 150
read -r at < <(xdotool getmouselocation --shell | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x "," y}')
[[ $at == 304,302 ]] || fail "three presses of Right and one of Down from 301,301 put the pointer at $at"
xdotool key Escape
wait_gone "$OVERLAY"
pass "each arrow key moves the pointer one pixel of the screen"

stop_program "$MAIN"
finish
