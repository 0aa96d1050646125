#!/usr/bin/env bash
# The Windows installer under Wine, as a new user meets it:
#   - a silent install (/S) for the current user, without administrator
#     rights: the files under %LOCALAPPDATA%\Programs\Lumaro, the Start-menu
#     entry, the Add/Remove Programs values in HKCU, the version resources,
#     "Open with" (Applications\lumaro.exe, SupportedTypes, OpenWithProgids);
#   - Lumaro started through the Start-menu entry, and through the registered
#     open command on a picture whose path has Chinese letters and spaces: it
#     shows that picture as "lumaro FILE" does;
#   - the uninstall: no file and no registry key of it left, nothing else gone;
#   - an install for all users (/AllUsers) into a folder with Chinese letters
#     and spaces, started from there, and uninstalled as cleanly;
#   - an upgrade over the previous version (the same build packed as 0.9.0,
#     with one file more): one Add/Remove entry, one set of files.
#   bash tests/windows/installer.sh build-windows/lumaro-<version>-win64.exe
# LUMARO_WINEPREFIX names the Wine prefix; XDRIVE closes the windows and
# waits for the screen to rest.
set -eEuo pipefail
installer=$(realpath "$1")
build=$(dirname "$installer")
version=$(basename "$installer" | sed -E 's/^lumaro-(.*)-win64\.exe$/\1/')
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine.sh"
for tool in Xvfb xdotool xprop xsetroot xwininfo import compare iconv x86_64-w64-mingw32-windres; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (bash scripts/deps.sh --windows)"; exit 77; }
done
[[ -x $WINE ]] || { echo "SKIP: Wine is not installed (bash scripts/deps.sh --windows)"; exit 77; }
[[ -f $installer ]] || { echo "FAIL: no installer $installer (cpack in the build folder makes it)" >&2; exit 1; }
[[ -x ${XDRIVE:-} ]] || { echo "FAIL: XDRIVE names no xdrive" >&2; exit 1; }
# Chinese letters in arguments and file names reach Wine as UTF-8.
export LC_ALL=C.UTF-8
wine_prefix "${LUMARO_WINEPREFIX:-$build/wine}"
tmp=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; wine_stop_display; rm -rf "$tmp"' EXIT
# What lumaro.exe printed, Wine's crash report included, goes to one log
# per start; a failure shows the last one.
lumaro_log() { LUMARO_LOG="$tmp/lumaro-$((++lumaro_starts)).log"; }
last_log() {
  [[ -n ${LUMARO_LOG:-} && -s $LUMARO_LOG ]] || return 0
  echo "--- the last lumaro.exe's output ($LUMARO_LOG):" >&2
  tail -n 40 "$LUMARO_LOG" >&2
}
fail() { echo "FAIL: $*" >&2; last_log; exit 1; }
# Any other command that fails ends the test too: say which.
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND (status $?)" >&2; last_log' ERR
lumaro_starts=0
ok() { echo "ok: $*"; }

drive=$WINEPREFIX/drive_c
uninst='Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumaro'
app='Software\Classes\Applications\lumaro.exe'
# winpath PATH: the Windows path of a Unix one, or the other way round (-u).
winpath() { "$WINE" winepath.exe "$@" 2>/dev/null | tr -d '\r'; }
# reg_value KEY NAME: the value's data ("" for the key's default value);
# fails when there is none. ASCII data only: Wine's reg prints anything
# else as "?". Why reg failed goes to stderr.
reg_value() {
  local out
  if [[ -z $2 ]]; then
    out=$("$WINE" reg query "$1" /ve 2>"$tmp/reg.err" | tr -d '\r') || { reg_error "$1" "$out"; return 1; }
    sed -nE 's/^    \(Default\) +REG_[A-Z_]+ +//p' <<<"$out"
  else
    out=$("$WINE" reg query "$1" /v "$2" 2>"$tmp/reg.err" | tr -d '\r') || { reg_error "$1" "$out"; return 1; }
    sed -nE "s/^    $2 +REG_[A-Z_]+ +//p" <<<"$out"
  fi
}
reg_error() { echo "reg query $1 failed: $(head -c 300 <<<"$2") $(tr -d '\r' <"$tmp/reg.err" | head -c 300)" >&2; }
has_key() { "$WINE" reg query "$1" >/dev/null 2>&1; }
# The whole of HKCU\Software and HKLM\Software, as text.
registry() {
  local hive
  for hive in HKCU HKLM; do
    "$WINE" reg export "$hive\\Software" "$(winpath -w "$tmp/export.reg")" /y >/dev/null 2>&1 ||
      fail "reg export $hive\\Software"
    iconv -f UTF-16 -t UTF-8 "$tmp/export.reg"
  done
}
# Every file of the Windows drive but the system's own scratch places.
files() {
  (cd "$drive" && find . -path ./windows -prune -o -path './users/*/Temp' -prune -o -path './users/*/AppData/Local/Temp' -prune \
     -o -print | sort)
}
# uninstall_all: an installation left by an earlier, failed run would hide
# what this one does.
uninstall_all() {
  local hive location
  for hive in HKCU HKLM; do
    location=$(reg_value "$hive\\$uninst" InstallLocation 2>/dev/null || true)
    [[ -n $location ]] || continue
    timeout 120 "$WINE" "$location\\Uninstall.exe" /S || true
    timeout 120 wineserver -w || true
  done
}
# silent_install ARGUMENTS: the installer, silently, with the arguments as
# the command line (cmd passes "/D=C:\a b" on unquoted, as NSIS wants it).
silent_install() {
  timeout 300 "$WINE" cmd /c "$(winpath -w "$installer") /S $*" || fail "the installer ($*) ended with status $?"
  timeout 120 wineserver -w || fail "the installer did not end"
}
# uninstall FOLDER: its uninstaller, silently.
uninstall() {
  timeout 120 "$WINE" "$1\\Uninstall.exe" /S || fail "the uninstaller ended with status $?"
  timeout 120 wineserver -w || fail "the uninstaller did not end (a question in silent mode?)"
}
# expect_clean WHAT: no file and no registry key is left or gone against
# the state before the install.
expect_clean() {
  files >"$tmp/files-after"
  diff "$tmp/files-before" "$tmp/files-after" >"$tmp/diff" ||
    fail "$1 left or took files: $(grep '^[<>]' "$tmp/diff" | head)"
  registry >"$tmp/registry-after"
  diff "$tmp/registry-before" "$tmp/registry-after" >"$tmp/diff" ||
    fail "$1 left or took registry entries: $(grep '^[<>]' "$tmp/diff" | head)"
}

# window_named REGEX TRIES: the first shown window whose name matches, looked
# for every 50 ms, TRIES times; nothing when none showed.
window_named() {
  local id=""
  for _ in $(seq "$2"); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [[ -n $id ]] && break
    sleep 0.05
  done
  echo "$id"
}

# wait_lumaro WHAT: sets MAIN, Lumaro's main window once it shows, and
# LUMARO_PID, its process.
wait_lumaro() {
  local main
  main=$(window_named '^Lumaro         $' 600)
  [[ -n $main ]] || fail "no window titled 'Lumaro' and nine blanks after $1"
  LUMARO_PID=$(xprop -id "$main" _NET_WM_PID | awk '{print $NF}')
  MAIN=$main
}
# picture_shot ID FILE: the picture display (Imageshow) of the window as it
# shows, once the screen rests; placed by the program's own table of
# controls (e2e_controls.exe, in the client area, below the menu bar).
picture_shot() {
  "$XDRIVE" settle 300 10000 || fail "the screen never came to rest"
  local x y w h border cx cy ix iy iw ih
  read -r x y w h < <(xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
                                            /^  Width/{w=$NF} /^  Height/{h=$NF} END{print x, y, w, h}')
  border=$(((w - client_w) / 2))
  cx=$((x + border)) cy=$((y + h - border - client_h))
  read -r ix iy iw ih < <(awk '$1 == "Imageshow" {print $2, $3, $4, $5}' "$tmp/controls")
  import -window root -crop "${iw}x${ih}+$((cx + ix))+$((cy + iy))" +repage "$2"
}
# close_lumaro ID: closed as a person closes it; a program that does not end
# fails the test (and the trap ends it) instead of keeping Wine waiting.
close_lumaro() {
  "$XDRIVE" close "$1"
  for _ in $(seq 400); do
    kill -0 "$LUMARO_PID" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$LUMARO_PID" 2>/dev/null && fail "lumaro.exe did not end when its window was closed"
  wineserver -w || fail "wineserver -w ended with status $?"
}
same_pixels() { [[ $(compare -metric AE "$1" "$2" null: 2>&1 || true) == 0 ]]; }
cmdline() { tr '\0' ' ' <"/proc/$LUMARO_PID/cmdline"; }

uninstall_all
rm -rf "$drive/用户"
local_app_data=$("$WINE" cmd /c echo '%LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
[[ $local_app_data == C:\\* ]] || fail "no %LOCALAPPDATA% in this prefix: '$local_app_data'"
windir="$local_app_data\\Programs\\Lumaro"
dir=$(winpath -u "$windir")
files >"$tmp/files-before"
# Windows always has the user's own classes key; a fresh Wine prefix has it
# only once something has been registered there.
"$WINE" reg add 'HKCU\Software\Classes' /f >/dev/null 2>&1 || fail "reg add HKCU\Software\Classes"
registry >"$tmp/registry-before"
# The program's own table of controls, from the build beside the installer.
(cd "$build/bin" && "$WINE" e2e_controls.exe -platform offscreen) | tr -d '\r' >"$tmp/controls"
grep -q '^Imageshow ' "$tmp/controls" || fail "e2e_controls.exe printed no table: $(head -c 300 "$tmp/controls")"
read -r client_w client_h < <(awk '$1 == "client" {print $4, $5}' "$tmp/controls")
# Until the session without a display has ended, a program would join it.
wineserver -w

wine_display 1280x1024

# ---- Started as a person starts it, on a Wine whose language is English
# (LC_ALL=C.UTF-8): the installer speaks Chinese all the same.
"$WINE" "$installer" >/dev/null 2>&1 &
# It reads the whole 15 MB to check it before the first page.
page=$(window_named '^Lumaro' 1200)
[[ -n $page ]] || fail "the installer showed no window"
caption=$(xprop -id "$page" _NET_WM_NAME | sed -E 's/^[^"]*"(.*)"$/\1/')
[[ $caption == "Lumaro 安装" ]] || fail "the installer's window is called '$caption', not 'Lumaro 安装'"
wineserver -k
wineserver -w
[[ ! -e $dir ]] || fail "the installer, ended on its first page, installed something"
ok "the installer speaks Chinese on an English system: 'Lumaro 安装'"

# ---- For the current user, silently, as the installer does by default.
silent_install
for f in bin/lumaro.exe bin/CameraDll.dll bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/qt.conf \
         bin/platforms/qwindows.dll bin/imageformats/qjpeg.dll bin/styles/qwindowsvistastyle.dll \
         bin/translations/qtbase_zh_CN.qm bin/libstdc++-6.dll bin/libgcc_s_seh-1.dll bin/libwinpthread-1.dll \
         Uninstall.exe; do
  [[ -f $dir/$f ]] || fail "not installed: $windir\\$f"
done
[[ ! -e "$drive/Program Files/Lumaro" ]] || fail "the install for the current user went to Program Files"
(cd "$dir" && find . | sort) >"$tmp/installed-files"
ok "installed for the current user under $windir"

link=$(cd "$drive" && find . -ipath '*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Lumaro.lnk' | head -n1)
[[ -n $link ]] || fail "no Start-menu entry Lumaro.lnk in the user's Start menu"
ok "Start-menu entry ${link#./}"

# Add/Remove Programs: in HKCU, none in HKLM.
has_key "HKLM\\$uninst" && fail "an install for the current user wrote HKLM\\$uninst"
expect_value() {
  local got
  got=$(reg_value "$1" "$2") || fail "no value $2 in $1"
  [[ $got == "$3" ]] || fail "$1 $2 is '$got', not '$3'"
}
expect_value "HKCU\\$uninst" DisplayName Lumaro
expect_value "HKCU\\$uninst" DisplayVersion "$version"
expect_value "HKCU\\$uninst" Publisher "The Lumaro developers"
expect_value "HKCU\\$uninst" InstallLocation "$windir"
expect_value "HKCU\\$uninst" DisplayIcon "$windir\\bin\\lumaro.exe,0"
expect_value "HKCU\\$uninst" UninstallString "\"$windir\\Uninstall.exe\""
# The size in KiB, as Explorer shows it: within a few KiB of the files'.
size=$(reg_value "HKCU\\$uninst" EstimatedSize) || fail "no EstimatedSize in HKCU\\$uninst"
size=$((size))
real=$(find "$dir" -type f -printf '%s\n' | awk '{ s += $1 } END { print int(s / 1024) }')
((size > real - 64 && size < real + 64)) || fail "EstimatedSize is $size KiB, the installed files $real KiB"
ok "Add/Remove Programs: name, version, publisher, location, icon, uninstaller, size $size KiB"

# The version resources: what Explorer's Properties show.
copyright="Copyright \\251 $(sed -nE 's/^Copyright: *//p' "$here/../../desktop/copyright" | head -n1)"
for f in lumaro.exe CameraDll.dll; do
  x86_64-w64-mingw32-windres -i "$dir/bin/$f" -J coff -O rc 2>/dev/null >"$tmp/resources.rc" ||
    fail "$f: its resources do not read"
  for entry in '"ProductName", "Lumaro"' "\"FileVersion\", \"$version\"" "\"ProductVersion\", \"$version\"" \
               '"CompanyName", "The Lumaro developers"' "\"OriginalFilename\", \"$f\""; do
    grep -qF "VALUE $entry" "$tmp/resources.rc" || fail "$f: no $entry in its version resource"
  done
  grep -qF "VALUE \"LegalCopyright\", L\"$copyright\"" "$tmp/resources.rc" ||
    fail "$f: its copyright is not desktop/copyright's line: $(grep LegalCopyright "$tmp/resources.rc")"
  # A Chinese description (windres writes letters beyond ASCII as \x escapes).
  grep -qE 'VALUE "FileDescription", L"Lumaro \\x[0-9a-f]{4}' "$tmp/resources.rc" ||
    fail "$f: no Chinese description: $(grep FileDescription "$tmp/resources.rc")"
done
ok "version resources of lumaro.exe and CameraDll.dll: Lumaro $version, vendor, copyright, Chinese description"

# "Open with": every type that the shipped readers read, each naming
# Lumaro's ProgID, and the command that passes the file.
expect_value "HKCU\\$app\\shell\\open\\command" "" "\"$windir\\bin\\lumaro.exe\" \"%1\""
types=$("$WINE" reg query "HKCU\\$app\\SupportedTypes" 2>/dev/null | tr -d '\r' | sed -nE 's/^    (\.[a-z0-9]+) +REG_SZ.*/\1/p')
for type in .png .jpg .jpeg .bmp .gif .ico .ppm .xpm; do
  grep -qx -- "$type" <<<"$types" || fail "SupportedTypes lacks $type: $(echo $types)"
done
for type in $types; do
  reg_value "HKCU\\Software\\Classes\\$type\\OpenWithProgids" Lumaro.Picture >/dev/null ||
    fail "$type has no OpenWithProgids entry Lumaro.Picture"
done
expect_value "HKCU\\Software\\Classes\\Lumaro.Picture\\shell\\open\\command" "" "\"$windir\\bin\\lumaro.exe\" \"%1\""
ok "Open with: $(echo $types)"

# Started as the Start menu starts it: the shell opens the shortcut.
winlink="C:\\$(echo "${link#./}" | tr / '\\')"
"$WINE" start "$winlink" >"$tmp/start.log" 2>&1 || fail "start $winlink: $(cat "$tmp/start.log")"
wait_lumaro "starting the Start-menu entry"; main=$MAIN
cmdline | grep -qiF "$windir\\bin\\lumaro.exe" || fail "the window belongs to $(cmdline), not the installed lumaro.exe"
picture_shot "$main" "$tmp/plain.png"
close_lumaro "$main"
ok "the Start-menu entry starts the installed lumaro.exe; title 'Lumaro' and nine blanks"

# A picture in a folder whose name has Chinese letters and spaces, opened
# with the registered command; the same picture under a plain name, opened
# as "lumaro FILE". Both windows show the same, and not the default picture.
mkdir -p "$tmp/图片 目录"
cp "$here/../data/sample.png" "$tmp/图片 目录/图片 1.png"
cp "$here/../data/sample.png" "$tmp/sample.png"
command=$(reg_value "HKCU\\$app\\shell\\open\\command" "")
[[ $command =~ ^\"([^\"]+)\"\ \"%1\"$ ]] || fail "the open command is '$command'"
exe=${BASH_REMATCH[1]}
lumaro_log
"$WINE" "$exe" "$(winpath -w "$tmp/sample.png")" >"$LUMARO_LOG" 2>&1 &
wait_lumaro "lumaro.exe sample.png"; main=$MAIN
picture_shot "$main" "$tmp/named.png"
close_lumaro "$main"
picture=$(winpath -w "$tmp/图片 目录/图片 1.png")
lumaro_log
"$WINE" "$exe" "$picture" >"$LUMARO_LOG" 2>&1 &
wait_lumaro "the open command on 图片 1.png"; main=$MAIN
picture_shot "$main" "$tmp/opened.png"
close_lumaro "$main"
same_pixels "$tmp/plain.png" "$tmp/named.png" && fail "lumaro.exe sample.png shows the default picture"
same_pixels "$tmp/named.png" "$tmp/opened.png" ||
  fail "the open command on '图片 目录\\图片 1.png' does not show the picture as 'lumaro.exe FILE' does"
ok "the open command shows '图片 目录\\图片 1.png' as 'lumaro.exe FILE' does"

uninstall "$windir"
[[ ! -e $dir ]] || fail "left behind: $(cd "$dir" && find . | head)"
expect_clean "the uninstall"
ok "the uninstall leaves no file and no registry entry behind, and takes nothing else"

# ---- For all users, into C:\用户\测试 目录\Lumaro.
alldir='C:\用户\测试 目录\Lumaro'
silent_install /AllUsers "/D=$alldir"
[[ -f "$drive/用户/测试 目录/Lumaro/bin/lumaro.exe" ]] || fail "nothing installed in $alldir"
has_key "HKLM\\$uninst" || fail "an install for all users wrote no HKLM\\$uninst"
has_key "HKCU\\$uninst" && fail "an install for all users wrote HKCU\\$uninst"
has_key "HKLM\\$app\\shell\\open\\command" || fail "an install for all users registered no HKLM\\$app"
[[ -f "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Lumaro.lnk" ]] ||
  fail "no Start-menu entry for all users"
lumaro_log
"$WINE" "$alldir\\bin\\lumaro.exe" >"$LUMARO_LOG" 2>&1 &
wait_lumaro "starting $alldir\\bin\\lumaro.exe"; main=$MAIN
close_lumaro "$main"
ok "installed for all users in $alldir (HKLM, the common Start menu); it starts from there"
uninstall "$alldir"
expect_clean "the uninstall for all users"
ok "the uninstall for all users leaves nothing behind, its folders included"

# ---- The portable zip, unpacked into a folder with Chinese letters and
# spaces, runs from there.
zip=${installer%.exe}.zip
if [[ -f $zip ]]; then
  command -v unzip >/dev/null || fail "unzip is not installed"
  mkdir -p "$drive/用户/便携 目录"
  unzip -q -o "$zip" -d "$drive/用户/便携 目录"
  portable=$(cd "$drive/用户/便携 目录" && find . -ipath '*/bin/lumaro.exe' | head -n1)
  [[ -n $portable ]] || fail "no bin/lumaro.exe in $zip"
  lumaro_log
  "$WINE" "$(winpath -w "$drive/用户/便携 目录/${portable#./}")" >"$LUMARO_LOG" 2>&1 &
  wait_lumaro "starting the portable lumaro.exe in C:\\用户\\便携 目录"; main=$MAIN
  close_lumaro "$main"
  rm -rf "$drive/用户"
  ok "the portable zip runs from C:\\用户\\便携 目录"
fi

# ---- An upgrade: the previous version, packed from this build as 0.9.0 with
# a file that the new one no longer has, then this one over it.
mkdir -p "$tmp/old/extra"
echo old >"$tmp/old/extra/old-only.txt"
(cd "$tmp/old" && cpack --config "$build/CPackConfig.cmake" -G NSIS -R 0.9.0 -B "$tmp/old" \
   -D CPACK_PACKAGE_FILE_NAME=lumaro-0.9.0-win64 -D "CPACK_INSTALLED_DIRECTORIES=$tmp/old/extra;bin" \
   >"$tmp/old/cpack.log" 2>&1) || fail "cpack of the previous version: $(tail -n 5 "$tmp/old/cpack.log")"
timeout 300 "$WINE" "$tmp/old/lumaro-0.9.0-win64.exe" /S || fail "the previous version's installer ended with status $?"
timeout 120 wineserver -w
expect_value "HKCU\\$uninst" DisplayVersion 0.9.0
[[ -f $dir/bin/old-only.txt ]] || fail "the previous version did not install its own file"
silent_install
entries=$( ("$WINE" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall'
            "$WINE" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall') 2>/dev/null | tr -d '\r' |
          grep -ci 'Uninstall\\Lumaro' || true)
[[ $entries == 1 ]] || fail "after the upgrade there are $entries Add/Remove entries for Lumaro"
expect_value "HKCU\\$uninst" DisplayVersion "$version"
(cd "$dir" && find . | sort) >"$tmp/upgraded-files"
diff "$tmp/installed-files" "$tmp/upgraded-files" >"$tmp/diff" ||
  fail "the upgrade's files differ from a new install's: $(grep '^[<>]' "$tmp/diff" | head)"
ok "an upgrade over 0.9.0 leaves one Add/Remove entry, version $version, and one set of files"
uninstall "$windir"
expect_clean "the uninstall after the upgrade"
ok "the uninstall after the upgrade leaves nothing behind"
