#!/usr/bin/env bash
# The region selector as a person uses it: one click on the picture display
# takes exactly its pixels, caption included; a drag that starts a pixel off
# is mended with a key after a Ctrl release; the magnifier's colour goes to
# the clipboard with C. Each capture is saved as a bitmap and compared with an
# independent screenshot of the same rectangle. Drags near the lines of
# controls' edges, away from the controls, take exactly the dragged pixels;
# one that ends beside the picture display's edge takes the edge.
source "$(dirname "$0")/lib.sh"
need import compare identify xclip

start_lumaro "$1" 1280x1024
read -r px py pw ph < <(control Imageshow)
shot "$px" "$py" "$pw" "$ph" "$E2E_TMP/display.png"

# capture_to FILE: saves the capture now on show, then back to the picture.
capture_to() {
  save_capture "$1"
  press Command7
  settle
}

# 1. One click on the picture display.
click_capture $((px + pw / 3)) $((py + ph / 2))
capture_to "$E2E_TMP/click.bmp"
expect_picture "$E2E_TMP/click.bmp" "$E2E_TMP/display.png" "one click on the picture display"
pass "one click takes the picture display, ${pw}x${ph}, exactly"

# 2. A drag that starts one pixel right of the display, released with Ctrl:
#    Alt+Left moves the top-left corner back by one; Enter accepts. Away from
#    the display's edges, so that nothing snaps.
open_selector
x0=$((px + 1)) y0=$py x1=$((px + pw - 1)) y1=$((py + ph - 1))
xdotool mousemove $x0 $y0 mousedown 1
xdotool mousemove $((x0 + 30)) $((y0 + 30))
xdotool mousemove $x1 $y1
xdotool keydown alt  # drag freely: the display's own edges would snap
xdotool mousemove $x1 $y1
xdotool keyup alt
xdotool keydown ctrl mouseup 1 keyup ctrl
settle 150
xdotool key alt+Left
settle 150
xdotool key Return
wait_gone "$OVERLAY"
settle
capture_to "$E2E_TMP/mended.bmp"
expect_picture "$E2E_TMP/mended.bmp" "$E2E_TMP/display.png" "the mended selection"
pass "a drag one pixel off, mended with Alt+Left, takes the display exactly"

# 3. A selection adjusted with the keys to a known rectangle: 40 x 30 at (20, 20).
open_selector
xdotool mousemove 20 20 mousedown 1 mousemove 40 40 mousemove 50 45
xdotool keydown ctrl mouseup 1 keyup ctrl
settle 150
# Now 31 x 26 from (20, 20): grow the bottom-right corner by 9 and 4.
for _ in $(seq 9); do xdotool key ctrl+Right; done
for _ in $(seq 4); do xdotool key ctrl+Down; done
# Move by 10 right and 10 down, and back by 10 right: Shift steps by ten.
xdotool key shift+Right shift+Down shift+Left
settle 150
xdotool key Return
wait_gone "$OVERLAY"
settle
shot 20 30 40 30 "$E2E_TMP/keys-expected.png"
capture_to "$E2E_TMP/keys.bmp"
expect_picture "$E2E_TMP/keys.bmp" "$E2E_TMP/keys-expected.png" "the rectangle set with the keys"
pass "a selection set with the keys takes the rectangle they set"

# drag_capture FROM_X FROM_Y TO_X TO_Y [KEYS...]: a plain drag between two
# client pixels; with KEYS released with Ctrl and the keys pressed, else
# accepted on release.
drag_capture() {
  local x0=$((CX + $1)) y0=$((CY + $2)) x1=$((CX + $3)) y1=$((CY + $4))
  shift 4
  open_selector
  xdotool mousemove $x0 $y0 mousedown 1
  xdotool mousemove $(((x0 + x1) / 2)) $(((y0 + y1) / 2))
  xdotool mousemove $x1 $y1
  settle 150
  if (($#)); then
    xdotool keydown ctrl mouseup 1 keyup ctrl
    settle 150
    xdotool key "$@"
  else
    xdotool mouseup 1
  fi
  wait_gone "$OVERLAY"
  settle
}

# 4. Drags near the lines of controls' edges but not beside those controls
#    take exactly what was dragged: the bottom edge 3 px above the line of
#    保存图片's top, 90 px right of it, adjusted with the keys; a drag over
#    the picture display whose bottom is near the line of the scaling
#    button's bottom.
# The expected pixels first: the capture, once shown, covers them.
shot $((CX + 301)) $((CY + 40)) 102 61 "$E2E_TMP/near-expected.png"
drag_capture 300 40 400 100 Right ctrl+Right Return
capture_to "$E2E_TMP/near.bmp"
expect_picture "$E2E_TMP/near.bmp" "$E2E_TMP/near-expected.png" "a drag near the line of 保存图片's top"
shot $((CX + 250)) $((CY + 60)) 221 126 "$E2E_TMP/over-expected.png"
drag_capture 250 60 470 185
capture_to "$E2E_TMP/over.bmp"
expect_picture "$E2E_TMP/over.bmp" "$E2E_TMP/over-expected.png" "a drag over the picture display"
pass "drags near controls' edge lines, away from the controls, take exactly what was dragged"

# 5. A drag ending 5 px short of the picture display's right edge, beside
#    it, takes the edge.
read -r ix iy iw ih < <(control_row Imageshow)
shot $((CX + ix + 60)) $((CY + iy + 30)) $((iw - 60)) 61 "$E2E_TMP/snap-expected.png"
drag_capture $((ix + 60)) $((iy + 30)) $((ix + iw - 6)) $((iy + 90))
capture_to "$E2E_TMP/snap.bmp"
expect_picture "$E2E_TMP/snap.bmp" "$E2E_TMP/snap-expected.png" "a drag ending beside the display's edge"
pass "a drag ending 5 px from the picture display's edge takes the edge"

# 6. The magnifier's colour: C over a pixel of the picture, then Esc.
open_selector
cx=$((px + pw / 2)) cy=$((py + 10))
xdotool mousemove $cx $cy
settle 150
xdotool key c
settle 100
colour=$(xclip -o -selection clipboard 2>/dev/null || true)
xdotool key Escape
wait_gone "$OVERLAY"
expected=$(import -window root -crop "1x1+$cx+$cy" -depth 8 txt:- | sed -nE 's/.*(#[0-9A-F]{6}).*/\1/p')
[[ $colour == "$expected" ]] || fail "C copied '$colour', the pixel is $expected"
pass "C copies the colour under the pointer ($colour)"

# 7. The frozen screen, darkened as QPainter darkens it, on the picture
#    display: the pointer over 底层字号更改, far from it, so neither the
#    highlight nor the magnifier is there.
shot "$px" "$py" "$pw" "$ph" "$E2E_TMP/bright.png"
"$LUMARO_CONTROLS" darken "$E2E_TMP/bright.png" "$E2E_TMP/darkened.png" || fail "e2e_controls could not darken"
open_selector
xdotool mousemove $(centre Command9)
settle 150
shot "$px" "$py" "$pw" "$ph" "$E2E_TMP/under-selector.png"
xdotool key Escape
wait_gone "$OVERLAY"
expect_picture "$E2E_TMP/under-selector.png" "$E2E_TMP/darkened.png" "the picture display under the selector"
pass "the selector darkens the frozen screen as QPainter does"

stop_program "$MAIN"
finish
