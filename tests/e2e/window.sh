#!/usr/bin/env bash
# Starts the real program under Xvfb and checks its window from outside: the
# exact title, the size of the area below the menu bar, and that it is centred.
source "$(dirname "$0")/lib.sh"
app=$1

start_display 1280x1024
start_program "$app"
win=$(wait_window '^Lumaro         $')

title=$(xprop -id "$win" _NET_WM_NAME | sed -E 's/^[^"]*"(.*)"$/\1/')
[[ "$title" == "Lumaro         " ]] || fail "title is '$title'"

read -r x y w h < <(geometry "$win")
[[ $w -eq 565 ]] || fail "window is $w px wide, not 565"
menu=$((h - 495))
(( menu >= 15 && menu <= 40 )) || fail "window is $h px high: no 495 px client area under a menu bar"
[[ $x -eq $(((1280 - 565) / 2)) ]] || fail "not centred horizontally: x=$x"
[[ $y -eq $(((1024 - h) / 2)) ]] || fail "not centred vertically: y=$y"

# As a person would: the focus starts in the width box, so typing replaces its
# "100" with 50; two Tabs reach "修改" and Space presses it. The right half of
# the picture then gives way to the window's background.
cx=$x; cy=$((y + menu))                    # client area's corner on the screen
px=$((cx + 240 + 180)); py=$((cy + 8 + 60)) # a point in the picture's right half
bg=$(pixel $((cx + 560)) $((cy + 490)))
before=$(pixel $px $py)
[[ "$before" != "$bg" ]] || fail "the picture is not shown at ($px,$py)"
xdotool key --window "$win" BackSpace BackSpace BackSpace
xdotool type --window "$win" 50
xdotool key --window "$win" Tab Tab space
sleep 0.5
after=$(pixel $px $py)
[[ "$after" == "$bg" ]] || fail "after 50 % the right half still shows $after (background $bg)"
kill -0 "$APP_PID" || fail "the program ended"

echo "2 passed, 0 failed"
