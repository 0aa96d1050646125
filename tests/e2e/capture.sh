#!/usr/bin/env bash
# As a person would: press "截取屏幕", drag over the picture, let go, press
# "保存图片", save as .bmp, and compare the file's pixels with an independent
# screenshot of the same region. Then a cancelled capture changes nothing.
source "$(dirname "$0")/lib.sh"
need import compare identify

start_lumaro "$1" 1280x1024
read -r px0 py0 pw ph < <(control Imageshow)
px1=$((px0 + pw - 1)) py1=$((py0 + ph - 1))
shot "$px0" "$py0" "$pw" "$ph" "$E2E_TMP/expected.png"
picture_pixel=$(pixel $((px0 + pw / 2)) $((py0 + 20)))

open_selector
drag_corners "$px0" "$py0" "$px1" "$py1"
out=$E2E_TMP/capture.bmp
save_capture "$out"
[[ $(head -c 2 "$out") == BM ]] || fail "the saved file is not a BMP"
expect_picture "$out" "$E2E_TMP/expected.png" "the capture, against an independent screenshot"
pass "a dragged capture saves exactly the screen's pixels"

# Back to the picture; a capture cancelled with Esc changes nothing.
press Command7
settle
[[ $(pixel $((px0 + pw / 2)) $((py0 + 20))) == "$picture_pixel" ]] || fail "初始化 did not show the picture again"
open_selector
xdotool key Escape
wait_gone "$OVERLAY"
settle
[[ $(pixel $((px0 + pw / 2)) $((py0 + 20))) == "$picture_pixel" ]] || fail "a cancelled capture changed the display"
pass "Esc cancels and changes nothing"

stop_program "$MAIN"
finish
