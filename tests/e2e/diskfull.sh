#!/usr/bin/env bash
# Saving over a file on a disk that is full: a 1 MiB tmpfs holding an
# existing bitmap, a capture of the whole screen saved over it. The program
# must say that the disk is full (not that the write was cancelled), keep the
# old file byte for byte, leave nothing else on the disk, and stay ready to
# save the capture elsewhere.
source "$(dirname "$0")/lib.sh"
need dbus-launch convert /usr/bin/python3
[[ $(id -u) -eq 0 ]] || skip "mounting a small tmpfs needs root"

small=$E2E_TMP/small
mkdir -p "$small"
mount -t tmpfs -o size=1m tmpfs "$small" 2>/dev/null || skip "cannot mount a tmpfs here"
trap 'umount -l "$small" 2>/dev/null; cleanup' EXIT
target="$small/old capture.bmp"
convert -size 64x48 xc:orange "BMP3:$target"
cp "$target" "$E2E_TMP/old.bmp"

start_display 1280x1024
start_atspi
start_lumaro "$1"
press Command5
overlay=$(wait_window '^截取屏幕$')
settle 100
xdotool mousemove 0 0 mousedown 1 mousemove 100 100 mousemove 1279 1023 mouseup 1
wait_gone "$overlay"
press Command6
dialog=$(wait_window '^打开文件$')
file_dialog_answer "$dialog" "$target"
question=$(dialog_question "$dialog")
[[ -n "$question" ]] || fail "no question before replacing the file"
xdotool key y
box=$(wait_window '^Lumaro$')
settle
text=$(/usr/bin/python3 "$E2E_DIR/atspi_read.py" message) || fail "the message cannot be read"
echo "the program said: $text"
[[ $text == *"old capture.bmp"* && $text == *磁盘空间不足* ]] || fail "the message does not say that the disk is full"
[[ $text != *取消* && $text != *ancel* ]] || fail "the message speaks of cancelling"
pass "a full disk is named as such"
cmp -s "$target" "$E2E_TMP/old.bmp" || fail "the old file changed"
[[ $(ls -A "$small") == "old capture.bmp" ]] || fail "the disk holds more than the old file: $(ls -A "$small")"
pass "the old file is kept and nothing is left behind"

# Still captured: the capture can be saved elsewhere.
xdotool key Return
wait_gone "$box"
press Command6
dialog=$(wait_window '^打开文件$')
file_dialog_answer "$dialog" "$E2E_TMP/elsewhere.bmp"
wait_for 10 "the capture saved elsewhere" bash -c "[[ \$(identify -format '%wx%h' '$E2E_TMP/elsewhere.bmp' 2>/dev/null) == 1280x1024 ]]"
pass "the capture is saved elsewhere afterwards"
stop_program "$MAIN"
finish
