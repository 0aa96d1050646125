#!/usr/bin/env bash
# Runs one Windows test program under Wine: the build's test command
# (CROSSCOMPILING_EMULATOR). QT_QPA_PLATFORM, which Wine would drop, becomes
# -platform on the command line.
#   bash tests/windows/run.sh WINEPREFIX PROGRAM.exe ARGS...
set -euo pipefail
source "$(dirname "$0")/wine.sh"
prefix=$1
shift
wine_prefix "$prefix"
if [[ -z ${DISPLAY:-} ]]; then
  wine_display
  trap wine_stop_display EXIT
fi
program=$1
shift
args=("$@")
[[ -n ${QT_QPA_PLATFORM:-} ]] && args+=(-platform "$QT_QPA_PLATFORM")
# A test suite's log goes to a file, read out afterwards: Wine loses a
# Windows program's console output when it ends.
if [[ $(basename "$program") == tst_*.exe ]]; then
  log=$(mktemp)
  status=0
  wine_run "$program" "${args[@]}" -o "$log,txt" || status=$?
  cat "$log"
  rm -f "$log"
  exit "$status"
fi
wine_run "$program" "${args[@]}"
