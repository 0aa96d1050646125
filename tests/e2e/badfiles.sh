#!/usr/bin/env bash
# 43 bad or odd picture files (empty, cut off, lying about their size, a
# decompression bomb, CMYK, 16-bit, animated, a folder, symlink loops, a pipe,
# a device, a 3,969-character path, a file nobody may read...) opened through
# 文件 > 打开, which must say which file and why, and through 更改图片, which
# stays silent. The display changes only for a picture that opens, and the
# window answers after every one. The corpus is made by badfiles.py.
E2E_AS_USER=1
source "$(dirname "$0")/lib.sh"
need dbus-launch convert compare xclip /usr/bin/python3
[[ -d "${LUMARO_TEST_DATA:-}" ]] || skip "LUMARO_TEST_DATA does not name the sample pictures"
[[ $(id -u) -ne 0 ]] || skip "root reads every file; run as another user"

start_display 1280x1024
start_atspi
/usr/bin/python3 "$E2E_DIR/badfiles.py" make "$E2E_TMP/corpus" "$LUMARO_TEST_DATA"
start_lumaro "$1"

export LUMARO_MAIN=$MAIN LUMARO_IMAGESHOW="$(control Imageshow)" LUMARO_COMMAND4="$(centre Command4)" \
  LUMARO_EMPTY="$((CX + CLIENT_W - 5)) $((CY + CLIENT_H - 5))" E2E_TMP XDRIVE
/usr/bin/python3 "$E2E_DIR/badfiles.py" run "$E2E_TMP/corpus" || fail "bad files were not handled as they should be"
alive
pass "every bad file handled, the window still answers"
stop_program "$MAIN"
finish
