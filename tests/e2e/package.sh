#!/usr/bin/env bash
# Lumaro installed like a desktop program:
#   1. installed under another prefix (cmake --install --prefix), the desktop
#      entry and the software-centre metadata pass their validators and offer
#      the program for the same picture types, png jpeg bmp gif among them, bin/
#      holds no library, and the program there finds its capture library in
#      ../lib/lumaro, which exports only its C functions: the selector
#      appears, Esc closes it;
#   2. as root: the Debian package is built and checked by lintian (no
#      errors), installed with apt, the installed /usr/bin/lumaro starts and
#      captures, its desktop entry validates and is registered for those
#      picture types ("Open with"), and removing the package leaves none of
#      its files in /usr.
source "$(dirname "$0")/lib.sh"
need cmake cpack desktop-file-validate appstreamcli
build=$(cd "$(dirname "$1")/.." && pwd)
id=example.lumaro.Lumaro

capture_opens_and_cancels() {
  start_lumaro "$1"
  press Command5
  local overlay
  overlay=$(wait_window '^截取屏幕$')
  settle
  xdotool key Escape
  wait_gone "$overlay"
  alive
  stop_program "$MAIN"
}

# ---- 1. Another prefix.
prefix=$E2E_TMP/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
desktop-file-validate "$prefix/share/applications/$id.desktop" 2>&1 | grep -v ': hint: ' | grep . &&
  fail "desktop-file-validate found problems"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$E2E_TMP/appstream.log" 2>&1 ||
  fail "appstreamcli: $(cat "$E2E_TMP/appstream.log")"
! grep -qE '^(E|W):' "$E2E_TMP/appstream.log" || fail "appstreamcli warns: $(cat "$E2E_TMP/appstream.log")"
pass "the desktop entry and the metadata pass their validators"

# picture_types ENTRY METAINFO: the types the entry and the metadata offer
# the program for are the same, and the common ones are among them; prints them.
picture_types() {
  grep -qxE 'Exec=(/.*/)?lumaro %f' "$1" || fail "$1 does not pass a file: $(grep ^Exec= "$1")"
  local entry meta
  entry=$(sed -n 's/^MimeType=//p' "$1" | tr ';' '\n' | grep . | sort)
  meta=$(sed -nE 's|.*<mediatype>(.*)</mediatype>.*|\1|p' "$2" | sort)
  [[ -n "$entry" && "$entry" == "$meta" ]] || fail "the entry offers [$entry], the metadata [$meta]"
  local type
  for type in image/png image/jpeg image/bmp image/gif; do
    grep -qx "$type" <<<"$entry" || fail "$type is not offered"
  done
  echo $entry
}
types=$(picture_types "$prefix/share/applications/$id.desktop" "$prefix/share/metainfo/$id.metainfo.xml")
pass "Open with: the entry and the metadata offer the program for $types"
[[ -z "$(find "$prefix/bin" -name '*.so*')" ]] || fail "bin/ holds a library"
[[ -f "$prefix/lib/lumaro/libCameraDll.so" ]] || fail "no capture library in lib/lumaro"
exports_only_c_face() { bash "$E2E_DIR/../exports.sh" "$1" >"$E2E_TMP/exports.log" 2>&1 || fail "$(cat "$E2E_TMP/exports.log")"; }
exports_only_c_face "$prefix/lib/lumaro/libCameraDll.so"
pass "the installed capture library exports only its C functions"
for size in 16x16 32x32 48x48 64x64 128x128 256x256; do
  [[ $(identify -format '%wx%h' "$prefix/share/icons/hicolor/$size/apps/$id.png") == "$size" ]] ||
    fail "the $size icon is not $size"
done
[[ -s "$prefix/share/icons/hicolor/scalable/apps/$id.svg" ]] || fail "no scalable icon"
pass "installed in the FHS layout, icons at every size"
start_display 1280x1024
capture_opens_and_cancels "$prefix/bin/lumaro"
pass "installed under another prefix, the program finds its capture library"

# ---- 2. The Debian package.
if [[ $(id -u) -ne 0 ]]; then
  [[ ${CI:-} != true ]] || fail "in CI the Debian package is installed too, which needs root"
  echo "not root: the Debian package is not installed here"
  finish
  exit 0
fi
need lintian dpkg-deb apt-get
(cd "$E2E_TMP" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$E2E_TMP/package" >/dev/null)
deb=$(compgen -G "$E2E_TMP/package/lumaro_*.deb" | head -n1)
[[ -n "$deb" ]] || fail "cpack made no package"
lintian "$deb" >"$E2E_TMP/lintian.log" 2>&1 || true
grep -v 'root privileges' "$E2E_TMP/lintian.log" || true
! grep -q '^E:' "$E2E_TMP/lintian.log" || fail "lintian finds errors"
pass "lintian: no errors"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >"$E2E_TMP/apt.log" 2>&1 ||
  fail "the package does not install: $(tail -n 20 "$E2E_TMP/apt.log")"
trap 'DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq lumaro >/dev/null 2>&1; cleanup' EXIT
dpkg -L lumaro >"$E2E_TMP/files"
[[ -x /usr/bin/lumaro && -f /usr/lib/lumaro/libCameraDll.so ]] || fail "the package did not install the program"
exports_only_c_face /usr/lib/lumaro/libCameraDll.so
capture_opens_and_cancels /usr/bin/lumaro
pass "the installed /usr/bin/lumaro starts and captures through the installed library"
installed=/usr/share/applications/$id.desktop
desktop-file-validate "$installed" 2>&1 | grep -v ': hint: ' | grep . && fail "the installed desktop entry does not validate"
[[ $(picture_types "$installed" "/usr/share/metainfo/$id.metainfo.xml") == "$types" ]] ||
  fail "the package offers other types than the installed tree"
# The desktop's own index of "Open with", made by desktop-file-utils' trigger.
if [[ -f /usr/share/applications/mimeinfo.cache ]]; then
  for type in $types; do
    grep -q "^$type=.*$id.desktop" /usr/share/applications/mimeinfo.cache || fail "$type does not list Lumaro"
  done
fi
pass "the installed desktop entry validates with its MimeType, and each type lists Lumaro"

DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq lumaro >"$E2E_TMP/apt.log" 2>&1 || fail "the package does not remove"
trap cleanup EXIT
left=""
while read -r path; do
  [[ -e "$path" && ! -d "$path" ]] && left+="$path "
done <"$E2E_TMP/files"
for dir in /usr/lib/lumaro /usr/share/doc/lumaro; do [[ -e $dir ]] && left+="$dir "; done
[[ -z "$left" ]] || fail "removing the package left $left"
pass "removing the package leaves nothing of it in /usr"
finish
