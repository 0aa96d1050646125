#!/usr/bin/env bash
# Pictures handed to the real program from outside, under Xvfb:
#   1. --help and --version answer, in Chinese and English, with no display;
#   2. `lumaro PICTURE` shows the picture stretched into the display, and the
#      read-out (read over AT-SPI) gives the display's size on the screen;
#   3. `lumaro notes.txt` says it cannot open notes.txt and leaves the picture;
#   4. another program drags over XDND (tests/e2e/xdnd.c): text and a text
#      file are refused (the pointer shows "not allowed"), a picture file and
#      picture data dropped open, also over a text box, and a text file named
#      .png is accepted and then named in the message. Every drop is a copy.
source "$(dirname "$0")/lib.sh"
need dbus-launch convert identify /usr/bin/python3
[[ -x "${XDND:-}" ]] || skip "xdnd was not built (libx11-dev)"

program=$(realpath "$1")

# ---- 1. Answers without a display.
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --help) || fail "--help failed"
[[ $help == *用法* && $help == *Usage:* ]] || fail "--help is not in Chinese and English: $help"
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version) || fail "--version failed"
[[ $version =~ ^Lumaro\ [0-9]+\.[0-9]+\.[0-9]+ && $version == *图片配字* ]] || fail "--version says: $version"
pass "--help and --version answer with no display"

# Pictures in four flat colours, one a quarter, so that any stretch keeps
# each corner's colour; a second one in other colours; text files.
quarters() {
  convert \( -size 200x192 "xc:$1" -size 200x192 "xc:$2" +append \) \
    \( -size 200x192 "xc:$3" -size 200x192 "xc:$4" +append \) -append "$5"
}
pictures=$E2E_TMP/照片
mkdir -p "$pictures"
quarters red lime blue yellow "$pictures/四色.png"
quarters cyan magenta black white "$E2E_TMP/other.png"
printf 'Notes for later.\n' >"$E2E_TMP/notes.txt"
printf 'Not a picture at all.\n' >"$E2E_TMP/fake.png"
printf 'hello\n' >"$E2E_TMP/hello.txt"
uri_list() { printf 'file://%s\r\n' "$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$1")" >"$2"; }

start_display 1280x1024
start_atspi

# Any option may be one of Qt's (-platform, --style ...), so an unknown one is
# known as such once Qt has taken its own: it is named, and no window opens.
status=0
"$program" --frobnicate "$pictures/四色.png" >"$E2E_TMP/out" 2>"$E2E_TMP/err" || status=$?
((status == 2)) && [[ ! -s "$E2E_TMP/out" ]] && grep -q -- "'--frobnicate'" "$E2E_TMP/err" ||
  fail "an unknown option gave status $status: $(cat "$E2E_TMP/err")"
pass "an unknown option is named, in Chinese and English, and ends the program"

# display_shows TL TR BL BR: the display's corners (2 pixels in) have these
# colours, and the pixels just outside it none of them.
display_shows() {
  local x y w h
  read -r x y w h < <(control Imageshow)
  local corners=("$(pixel $((x + 2)) $((y + 2)))" "$(pixel $((x + w - 3)) $((y + 2)))"
    "$(pixel $((x + 2)) $((y + h - 3)))" "$(pixel $((x + w - 3)) $((y + h - 3)))")
  local outside=("$(pixel $((x + w)) $((y + h / 2)))" "$(pixel $((x + w / 2)) $((y + h)))")
  SEEN="corners ${corners[*]}, outside ${outside[*]}"
  [[ "${corners[*]}" == "$*" ]] || return 1
  [[ " $* " != *" ${outside[0]} "* && " $* " != *" ${outside[1]} "* ]]
}
# wait_display WHAT COLOURS...: waits until the display shows COLOURS.
wait_display() {
  local what=$1 deadline=$((SECONDS + 10))
  shift
  until display_shows "$@"; do
    ((SECONDS < deadline)) || fail "$what is not on show: $SEEN"
    sleep 0.05
  done
}
QUARTERS="255,0,0 0,255,0 0,0,255 255,255,0"
OTHER="0,255,255 255,0,255 0,0,0 255,255,255"

# message_names FILE: a message box over the window names FILE; it is closed.
message_names() {
  local box text
  box=$(wait_window '^Lumaro$')
  settle
  text=$(/usr/bin/python3 "$E2E_DIR/atspi_read.py" message) || fail "the message cannot be read"
  [[ $text == *"“$1”"* ]] || fail "the message does not name $1: $text"
  xdotool key Return
  wait_gone "$box"
}

# ---- 2. A picture named at start.
start_lumaro "$program" 1280x1024 "$pictures/四色.png"
wait_display "the picture" $QUARTERS
read -r _ _ w h < <(control Imageshow)
readout=$(/usr/bin/python3 "$E2E_DIR/atspi_read.py" readout) || fail "the read-out cannot be read"
[[ $readout == "宽:$((w * 15)) 高:$((h * 15))" ]] || fail "the read-out says $readout of a ${w}x$h display"
pass "lumaro PICTURE shows it in the ${w}x$h display, and the read-out says $readout"
stop_program "$MAIN"

# ---- 3. A text file named at start.
start_lumaro "$program" 1280x1024 "$E2E_TMP/notes.txt" "$pictures/四色.png"
message_names "$E2E_TMP/notes.txt"
settle
! display_shows $QUARTERS || fail "the second file was opened"
read -r x y w h < <(control Imageshow)
shot "$x" "$y" "$w" "$h" "$E2E_TMP/default.png"
pass "lumaro notes.txt says it cannot open notes.txt, and the second file is ignored"

# ---- 4. Drag and drop from another program, on the same window.
read -r px py < <(centre Imageshow)
drag() { # drag hover|drop TYPE FILE [X Y]: prints what xdnd printed, exits as it did
  "$XDND" "$1" "${4:-$px}" "${5:-$py}" "$2" "$3"
}
uri_list "$E2E_TMP/notes.txt" "$E2E_TMP/notes.uri"
uri_list "$E2E_TMP/fake.png" "$E2E_TMP/fake.uri"
uri_list "$pictures/四色.png" "$E2E_TMP/picture.uri"

said=$(drag hover text/uri-list "$E2E_TMP/notes.uri") && fail "a text file was welcome: $said"
[[ $said == refused ]] || fail "xdnd: $said"
said=$(drag drop text/plain "$E2E_TMP/hello.txt" "$((CX + CLIENT_W - 5))" "$((CY + CLIENT_H - 5))") &&
  fail "text was welcome: $said"
alive
shot "$x" "$y" "$w" "$h" "$E2E_TMP/after.png"
expect_picture "$E2E_TMP/after.png" "$E2E_TMP/default.png" "the display after refused drags"
pass "a text file and text are refused: the pointer shows they cannot be dropped"

said=$(drag drop text/uri-list "$E2E_TMP/picture.uri") || fail "the picture file was not dropped: $said"
[[ $said == *"finished XdndActionCopy"* ]] || fail "the drop was not a copy: $said"
wait_display "the dropped picture file" $QUARTERS
pass "a picture file dropped opens ($(echo $said))"

said=$(drag drop image/png "$E2E_TMP/other.png") || fail "the picture data was not dropped: $said"
wait_display "the dropped picture data" $OTHER
pass "picture data dropped opens"

read -r tx ty < <(centre LabelText)
said=$(drag drop text/uri-list "$E2E_TMP/picture.uri" "$tx" "$ty") || fail "no drop over the text box: $said"
wait_display "the picture dropped over the text box" $QUARTERS
pass "a picture file dropped over a text box opens"

said=$(drag drop text/uri-list "$E2E_TMP/fake.uri") || fail "a file named .png was refused: $said"
message_names "$E2E_TMP/fake.png"
settle
display_shows $QUARTERS || fail "the display changed after a drop that failed"
pass "a text file named .png is taken, then named in the message; the display stays"
alive
stop_program "$MAIN"
finish
