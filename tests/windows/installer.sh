#!/usr/bin/env bash
# The Windows installer under Wine, as a new user meets it: a silent install
# (/S) under Program Files with a Start-menu entry, Lumaro started through
# that entry (its window and title), then a silent uninstall that leaves no
# file behind.
#   bash tests/windows/installer.sh build-windows/lumaro-<version>-win64.exe
# LUMARO_WINEPREFIX names the Wine prefix; XDRIVE closes the window.
set -euo pipefail
installer=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine.sh"
for tool in Xvfb xdotool xprop xsetroot; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (bash scripts/deps.sh --windows)"; exit 77; }
done
[[ -x $WINE ]] || { echo "SKIP: Wine is not installed (bash scripts/deps.sh --windows)"; exit 77; }
[[ -f $installer ]] || { echo "FAIL: no installer $installer (cpack in the build folder makes it)" >&2; exit 1; }
wine_prefix "${LUMARO_WINEPREFIX:-$(dirname "$installer")/wine}"
tmp=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; wine_stop_display; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
ok() { echo "ok: $*"; }

drive=$WINEPREFIX/drive_c
dir="$drive/Program Files/Lumaro"
# Every file of the Windows drive but the system's own scratch places.
files() {
  (cd "$drive" && find . -path ./windows -prune -o -path './users/*/Temp' -prune -o -path './users/*/AppData/Local/Temp' -prune \
     -o -print | sort)
}
# A leftover from an earlier, failed run would hide what this one does.
[[ ! -e $dir ]] || { timeout 120 "$WINE" "$dir/Uninstall.exe" /S; timeout 120 wineserver -w; } || true
[[ ! -e $dir ]] || rm -rf "$dir"
files >"$tmp/before"

wine_display 1280x1024
timeout 300 "$WINE" "$installer" /S || fail "the installer ended with status $?"
timeout 120 wineserver -w || fail "the installer did not end"
for f in bin/lumaro.exe bin/CameraDll.dll bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/qt.conf \
         bin/platforms/qwindows.dll bin/imageformats/qjpeg.dll bin/styles/qwindowsvistastyle.dll \
         bin/translations/qtbase_zh_CN.qm bin/libstdc++-6.dll bin/libgcc_s_seh-1.dll bin/libwinpthread-1.dll \
         Uninstall.exe; do
  [[ -f $dir/$f ]] || fail "not installed: Program Files/Lumaro/$f"
done
ok "installed under Program Files/Lumaro"

link=$(cd "$drive" && find . -ipath '*/Start Menu/Programs/Lumaro/Lumaro.lnk' | head -n1)
[[ -n $link ]] || fail "no Start-menu entry Lumaro/Lumaro.lnk"
ok "Start-menu entry ${link#./}"

# Started as the Start menu starts it: the shell opens the shortcut.
winlink="C:\\$(echo "${link#./}" | tr / '\\')"
"$WINE" start "$winlink" >"$tmp/start.log" 2>&1 || fail "start $winlink: $(cat "$tmp/start.log")"
main=""
for _ in $(seq 600); do
  main=$(xdotool search --onlyvisible --name '^Lumaro         $' 2>/dev/null | head -n1 || true)
  [[ -n $main ]] && break
  sleep 0.05
done
[[ -n $main ]] || fail "no window titled 'Lumaro' and nine blanks after starting the Start-menu entry"
pid=$(xprop -id "$main" _NET_WM_PID | awk '{print $NF}')
tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qi 'Program Files\\Lumaro\\bin\\lumaro.exe' ||
  fail "the window belongs to $(tr '\0' ' ' <"/proc/$pid/cmdline"), not the installed lumaro.exe"
ok "the Start-menu entry starts the installed lumaro.exe; title 'Lumaro' and nine blanks"
# Closed as a person closes it; a program that does not end fails the test
# (and the trap ends it) instead of keeping Wine waiting.
[[ -x ${XDRIVE:-} ]] && "$XDRIVE" close "$main"
for _ in $(seq 400); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
kill -0 "$pid" 2>/dev/null && fail "lumaro.exe did not end when its window was closed"
wineserver -w

timeout 120 "$WINE" "$dir/Uninstall.exe" /S || fail "the uninstaller ended with status $?"
timeout 120 wineserver -w || fail "the uninstaller did not end (a question in silent mode?)"
[[ ! -e $dir ]] || fail "left behind: $(cd "$dir" && find . | head)"
files >"$tmp/after"
diff "$tmp/before" "$tmp/after" >"$tmp/diff" || fail "the uninstall left files: $(grep '^>' "$tmp/diff" | head)"
ok "the uninstall leaves no file behind"
