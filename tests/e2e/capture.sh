#!/usr/bin/env bash
# As a person would: press "截取屏幕", drag over the picture, let go, press
# "保存图片", save as .bmp, and compare the file's pixels with an independent
# screenshot of the same region. Then a cancelled capture changes nothing.
source "$(dirname "$0")/lib.sh"
app=$1

start_display 1280x1024
start_program "$app"
win=$(wait_window '^Lumaro         $')
read -r x y w h < <(geometry "$win")
cx=$x; cy=$((y + h - 495))                # the client area's corner

# Client-area centres of the buttons, and the picture display's rectangle.
capture_btn=($((cx + 120 + 8 + 40)) $((cy + 8 + 56 + 16)))
save_btn=($((cx + 120 + 8 + 40)) $((cy + 8 + 96 + 16)))
reset_btn=($((cx + 120 + 8 + 40)) $((cy + 8 + 136 + 16)))
px0=$((cx + 240)); py0=$((cy + 8)); px1=$((px0 + 199)); py1=$((py0 + 191))

import -window root -crop "200x192+$px0+$py0" "$E2E_TMP/expected.png"
picture_pixel=$(pixel $((px0 + 100)) $((py0 + 20)))

xdotool mousemove "${capture_btn[@]}" click 1
sleep 0.7
# Drag from the first to the last pixel of the picture: both corners count.
xdotool mousemove $px0 $py0 mousedown 1
xdotool mousemove $(((px0 + px1) / 2)) $(((py0 + py1) / 2))
xdotool mousemove $px1 $py1
sleep 0.1
xdotool mouseup 1
sleep 0.5

xdotool mousemove "${save_btn[@]}" click 1
sleep 1
out=$E2E_TMP/capture.bmp
xdotool type --delay 10 "$out"
xdotool key Return
for _ in $(seq 50); do [[ -s "$out" ]] && break; sleep 0.1; done
[[ -s "$out" ]] || fail "no file was saved; program said: $(cat "$E2E_TMP/app.log")"
[[ $(head -c 2 "$out") == BM ]] || fail "the saved file is not a BMP"
size=$(identify -format '%wx%h' "$out")
[[ $size == 200x192 ]] || fail "the capture is $size, not 200x192"
diff=$(compare -metric AE "$out" "$E2E_TMP/expected.png" null: 2>&1 || true)
[[ $diff == 0 ]] || fail "$diff pixels differ from an independent screenshot"

# Back to the picture; a capture cancelled with Esc changes nothing.
xdotool mousemove "${reset_btn[@]}" click 1
sleep 0.3
[[ $(pixel $((px0 + 100)) $((py0 + 20))) == "$picture_pixel" ]] || fail "初始化 did not show the picture again"
xdotool mousemove "${capture_btn[@]}" click 1
sleep 0.7
xdotool key Escape
sleep 0.4
[[ $(pixel $((px0 + 100)) $((py0 + 20))) == "$picture_pixel" ]] || fail "a cancelled capture changed the display"
kill -0 "$APP_PID" || fail "the program ended"

echo "2 passed, 0 failed"
