#!/usr/bin/env bash
# The forum link as a person uses it: "网站" and a Yes to "说明" hand the page
# address to the desktop's URL handler. A stand-in handler records it.
source "$(dirname "$0")/lib.sh"
app=$1

mkdir -p "$E2E_TMP/bin"
cat >"$E2E_TMP/bin/xdg-open" <<STUB
#!/bin/sh
printf '%s\n' "\$*" >>"$E2E_TMP/opened"
STUB
chmod +x "$E2E_TMP/bin/xdg-open"
export PATH="$E2E_TMP/bin:$PATH"
unset BROWSER DEFAULT_BROWSER

start_display 1280x1024
start_program "$app"
win=$(wait_window '^Lumaro         $')

wait_opened() {
  for _ in $(seq 50); do
    [[ -f "$E2E_TMP/opened" && $(wc -l <"$E2E_TMP/opened") -ge $1 ]] && return 0
    sleep 0.1
  done
  fail "the URL handler was not called (call $1); program said: $(cat "$E2E_TMP/app.log")"
}

# 帮助(H) > 网站: Alt+H opens the menu on its first item, Down reaches the second.
xdotool key --window "$win" alt+h
sleep 0.3
xdotool key Down Return
wait_opened 1
[[ $(sed -n 1p "$E2E_TMP/opened") =~ ^http://[^/]+/bbs/forum\.php\?mod=forumdisplay\&fid=108$ ]] ||
  fail "opened '$(sed -n 1p "$E2E_TMP/opened")'"

# 帮助(H) > 说明, answered with 是 (Alt+Y).
xdotool key --window "$win" alt+h
sleep 0.3
xdotool key Return
sleep 0.6
box=$(wait_window '^Lumaro$')
xdotool key --window "$box" alt+y
wait_opened 2
[[ $(sed -n 2p "$E2E_TMP/opened") == "$(sed -n 1p "$E2E_TMP/opened")" ]] || fail "说明 opened another address"
kill -0 "$APP_PID" || fail "the program ended"

echo "2 passed, 0 failed"
