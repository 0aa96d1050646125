#!/usr/bin/env bash
# Pictures of Lumaro on scaled screens, from the real program under Xvfb with
# Xft.dpi set as GNOME, KDE and Xfce set it, to look at for seams: lines cut
# off, doubled, or a pixel of background between a border and what it holds.
#   docs/screenshots/scaled-125.png   125 % (120 dpi)
#   docs/screenshots/scaled-175.png   175 % (168 dpi)
#   docs/screenshots/scaled-200.png   200 % (192 dpi)
# Each shows the window as it starts beside the window with a capture of the
# picture display on show in its capture display.
#   bash scripts/build.sh && bash tools/screenshots-scaled.sh [DPI...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/build/bin
out=$root/docs/screenshots
mkdir -p "$out"

one() {
  export E2E_DPI=$1 XDRIVE=$bin/xdrive LUMARO_CONTROLS=$bin/e2e_controls
  source "$root/tests/e2e/lib.sh"
  start_lumaro "$bin/lumaro" 1920x1080
  local x y w h px py pw ph
  read -r x y w h < <(geometry "$MAIN")
  import -window root -crop "${w}x${h}+$x+$y" +repage "$E2E_TMP/start.png"
  read -r px py pw ph < <(control Imageshow)
  click_capture $((px + pw / 3)) $((py + ph / 2))
  xdotool mousemove 5 5
  settle
  import -window root -crop "${w}x${h}+$x+$y" +repage "$E2E_TMP/captured.png"
  convert "$E2E_TMP/start.png" "$E2E_TMP/captured.png" -background '#808080' -splice 8x0 +append -chop 8x0 \
    "$out/scaled-$(( $1 * 100 / 96 )).png"
  stop_program "$MAIN"
}

dpis=("$@")
((${#dpis[@]})) || dpis=(120 168 192)
for dpi in "${dpis[@]}"; do
  # Each in a shell of its own: one display, one program, cleaned up after.
  (one $dpi)
  echo "made $out/scaled-$((dpi * 100 / 96)).png"
done
