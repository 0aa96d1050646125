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
wine_run "$program" "${args[@]}"
