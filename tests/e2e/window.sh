#!/usr/bin/env bash
# Starts the real program under Xvfb and checks its window from outside: the
# exact title, the size of the area below the menu bar, that it is centred,
# and that the keyboard reaches the scaling command.
source "$(dirname "$0")/lib.sh"

start_lumaro "$1" 1280x1024

title=$(xprop -id "$MAIN" _NET_WM_NAME | sed -E 's/^[^"]*"(.*)"$/\1/')
[[ "$title" == "Lumaro         " ]] || fail "title is '$title'"
pass "title"

read -r x y w h < <(geometry "$MAIN")
# The client area of 8475 x 7425 twips, 565 x 495 pixels, under the menu bar.
[[ $CLIENT_W -eq 565 && $CLIENT_H -eq 495 ]] || fail "the client area is ${CLIENT_W}x$CLIENT_H, not 565x495"
[[ $w -eq 565 ]] || fail "window is $w px wide, not 565"
menu=$((h - 495))
((menu >= 15 && menu <= 40)) || fail "window is $h px high: no 495 px client area under a menu bar"
[[ $x -eq $(((1280 - 565) / 2)) ]] || fail "not centred horizontally: x=$x"
[[ $y -eq $(((1024 - h) / 2)) ]] || fail "not centred vertically: y=$y"
pass "size and place"

# As a person would: the focus starts in the width box, so typing replaces its
# "100" with 50; two Tabs reach "修改" and Enter presses it. The right half of
# the picture then gives way to the window's background.
read -r ix iy iw ih < <(control Imageshow)
px=$((ix + iw * 9 / 10)) py=$((iy + ih / 3))
bg=$(pixel $((CX + CLIENT_W - 5)) $((CY + CLIENT_H - 5)))
[[ "$(pixel $px $py)" != "$bg" ]] || fail "the picture is not shown at ($px,$py)"
xdotool key BackSpace BackSpace BackSpace
xdotool type 50
xdotool key Tab Tab Return
settle
[[ "$(pixel $px $py)" == "$bg" ]] || fail "after 50 % the right half still shows $(pixel $px $py) (background $bg)"
pass "Enter on 修改 scales the picture"

stop_program "$MAIN"
pass "closes cleanly"
finish
