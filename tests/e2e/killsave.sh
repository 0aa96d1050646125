#!/usr/bin/env bash
# Saves of a full-screen capture over an existing file, each killed with
# SIGKILL after a random delay of 0-500 ms once the save was confirmed. Every
# time the file must be the old one byte for byte or a complete new bitmap of
# the screen, with nothing else left in its folder.
#   KILL_TRIALS=N (12 by default)
source "$(dirname "$0")/lib.sh"
need identify

trials=${KILL_TRIALS:-12}
width=2560 height=1600
start_display ${width}x${height}
folder=$E2E_TMP/saves
mkdir -p "$folder"
target="$folder/old capture.bmp" # xdotool cannot type Chinese
convert -size 64x48 xc:orange "BMP3:$target"
cp "$target" "$E2E_TMP/old.bmp"

old=0 new=0
for ((trial = 1; trial <= trials; trial++)); do
  start_lumaro "$1"
  press Command5
  overlay=$(wait_window '^截取屏幕$')
  settle 100
  xdotool mousemove 0 0 mousedown 1 mousemove 100 100 mousemove $((width - 1)) $((height - 1)) mouseup 1
  wait_gone "$overlay"
  press Command6
  dialog=$(wait_window '^打开文件$')
  settle 100
  file_dialog_answer "$dialog" "$target"
  question=$(dialog_question "$dialog") # it asks before replacing the file
  [[ -n "$question" ]] || fail "trial $trial: no question before replacing the file"
  delay_ms=$((RANDOM % 501))
  xdotool key y
  sleep "$(printf '0.%03d' "$delay_ms")"
  kill -KILL "$APP_PID"
  wait "$APP_PID" 2>/dev/null || true

  others=$(find "$folder" -mindepth 1 ! -path "$target" | head -n 5)
  [[ -z "$others" ]] || fail "trial $trial (kill after $delay_ms ms) left $others"
  if cmp -s "$target" "$E2E_TMP/old.bmp"; then
    old=$((old + 1)) outcome=old
  else
    size=$(stat -c %s "$target")
    [[ $(head -c 2 "$target") == BM ]] || fail "trial $trial: the file is neither the old one nor a bitmap"
    declared=$(od -An -tu4 -j2 -N4 "$target" | tr -d ' ')
    [[ $declared == "$size" ]] || fail "trial $trial (kill after $delay_ms ms): a bitmap of $size bytes declares $declared"
    [[ $(identify -format '%wx%h' "$target") == "${width}x${height}" ]] || fail "trial $trial: not the whole screen"
    new=$((new + 1)) outcome=new
    cp "$E2E_TMP/old.bmp" "$target" # the next trial replaces the old one again
  fi
  echo "trial $trial: killed $delay_ms ms after the confirmation: $outcome file"
done
pass "$trials kills mid-save: $old left the old file, $new a complete new one, nothing else left behind"
finish
