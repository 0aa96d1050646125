#!/usr/bin/env bash
# The forum link as a person uses it: "网站" and a Yes to "说明" hand the page
# address to the desktop's URL handler. A stand-in handler records it.
source "$(dirname "$0")/lib.sh"

mkdir -p "$E2E_TMP/bin"
cat >"$E2E_TMP/bin/xdg-open" <<STUB
#!/bin/sh
printf '%s\n' "\$*" >>"$E2E_TMP/opened"
STUB
chmod +x "$E2E_TMP/bin/xdg-open"
export PATH="$E2E_TMP/bin:$PATH"
unset BROWSER DEFAULT_BROWSER

start_lumaro "$1"

opened() { [[ -f "$E2E_TMP/opened" && $(wc -l <"$E2E_TMP/opened") -ge $1 ]]; }

# 帮助(H) > 网站: Alt+H opens the menu on its first item, Down reaches the second.
xdotool key alt+h
settle
xdotool key Down Return
wait_for 10 "the URL handler" opened 1
[[ $(sed -n 1p "$E2E_TMP/opened") =~ ^http://[^/]+/bbs/forum\.php\?mod=forumdisplay\&fid=108$ ]] ||
  fail "opened '$(sed -n 1p "$E2E_TMP/opened")'"
pass "网站 opens the forum page"

# 帮助(H) > 说明, answered with 是 (Alt+Y).
xdotool key alt+h
settle
xdotool key Return
box=$(wait_window '^Lumaro$')
settle
xdotool key alt+y
wait_for 10 "the URL handler, a second time" opened 2
[[ $(sed -n 2p "$E2E_TMP/opened") == "$(sed -n 1p "$E2E_TMP/opened")" ]] || fail "说明 opened another address"
pass "是 in 说明 opens the same page"

stop_program "$MAIN"
finish
