# Shared helpers for running the Windows build under Wine: a private Wine
# prefix with the CJK font replacements, and a private Xvfb display.
#
#   source tests/windows/wine.sh
#   wine_prefix DIR          creates (once) and selects the prefix
#   wine_display             a fresh Xvfb with a coloured root; exports DISPLAY
#   wine_run PROGRAM ARGS    runs a Windows program, waits for Wine to end
#
# Wine drops Unix environment variables that start with QT_, so Qt options
# go on the command line (-platform offscreen).

# Wine's own noise: missing Mono and Gecko, fixme messages.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win64
# The 64-bit loader itself (Debian: /usr/lib/wine/wine64; /usr/bin/wine is
# a script around it that warns about the missing 32-bit half).
if [[ -z ${WINE:-} ]]; then
  if [[ -x /usr/lib/wine/wine64 ]]; then
    WINE=/usr/lib/wine/wine64
    export WINELOADER=$WINE
  else
    WINE=$(command -v wine64 || command -v wine || echo wine64)
  fi
fi

# The font Wine offers in place of "宋体" (SimSun): a Song-style CJK font of
# this system, found by fontconfig.
wine_cjk_font() {
  local family
  for family in "AR PL UMing CN" "Noto Serif CJK SC" "WenQuanYi Micro Hei" "Noto Sans CJK SC"; do
    if fc-list : family | tr ',' '\n' | grep -qxF "$family"; then echo "$family"; return 0; fi
  done
  return 1
}

wine_prefix() {
  export WINEPREFIX=$1
  local font
  font=$(wine_cjk_font) || { echo "no CJK font installed (bash scripts/deps.sh --windows)" >&2; return 1; }
  local stamp=$WINEPREFIX/.lumaro-fonts
  if [[ -f $WINEPREFIX/system.reg && $(cat "$stamp" 2>/dev/null) == "$font" ]]; then
    wine_own_profile
    return 0
  fi
  mkdir -p "$WINEPREFIX"
  # No display is needed to set up a prefix.
  DISPLAY= "$WINE" wineboot.exe -i >/dev/null 2>&1
  wineserver -w
  local name
  for name in 宋体 SimSun; do
    DISPLAY= "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$name" /t REG_SZ /d "$font" /f >/dev/null 2>&1
  done
  # Until wineserver has written the registry and ended, the next program
  # would join this session (and its display, none).
  wineserver -w
  echo "$font" >"$stamp"
  wine_own_profile
}

# Wine links the profile's Desktop, Documents, Pictures... to the folders of
# whoever made the prefix, which for a test is a scratch home that is gone
# by the next test. Without a Desktop the shell cannot resolve a path into
# its namespace, and a Start-menu shortcut no longer starts. Each becomes a
# folder of the prefix's own, as on Windows.
wine_own_profile() {
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    [[ -L $link ]] || continue
    rm -f "$link"
    mkdir -p "$link"
  done
}

# wine_display [WIDTHxHEIGHT]: Xvfb keeps the root's colour only with
# -noreset; a black root makes a correct grab of an empty desktop look like
# a failed one. Sets WINE_XVFB_PID.
wine_display() {
  local size=${1:-1280x1024} out n="" i
  out=$(mktemp)
  # Xvfb picks a free display and writes its number to descriptor 3.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$out" >/dev/null 2>&1 &
  WINE_XVFB_PID=$!
  for i in $(seq 200); do
    n=$(cat "$out")
    [[ -n $n ]] && break
    kill -0 "$WINE_XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  rm -f "$out"
  [[ -n $n ]] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=:$n
  xsetroot -solid '#3a6ea5'
}

wine_stop_display() {
  [[ -n ${WINE_XVFB_PID:-} ]] || return 0
  kill "$WINE_XVFB_PID" 2>/dev/null || true
  wait "$WINE_XVFB_PID" 2>/dev/null || true
  WINE_XVFB_PID=
}

# wine_run PROGRAM ARGS...: its exit status; returns once every Wine process
# of the prefix has ended.
wine_run() {
  local status=0
  "$WINE" "$@" || status=$?
  wineserver -w
  return "$status"
}
