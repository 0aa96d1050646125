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

echo "1 passed, 0 failed"
