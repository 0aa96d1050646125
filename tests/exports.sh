#!/usr/bin/env bash
# The capture library exports its C functions and nothing else: the
# symbols that it defines in its dynamic symbol table are exactly these.
#   bash tests/exports.sh path/to/libCameraDll.so     (NM names another nm)
set -euo pipefail
library=$1
want=$'T CameraLastError\nT CameraSubArea'
[[ -f "$library" ]] || { echo "FAIL: no library at $library" >&2; exit 1; }
got=$("${NM:-nm}" -D --defined-only "$library" | awk '{print $(NF - 1), $NF}' | sort)
if [[ "$got" != "$want" ]]; then
  echo "FAIL: $library should export CameraLastError and CameraSubArea and nothing else:" >&2
  diff <(echo "$want") <(echo "$got") | sed -n 's/^> /  also exports /p; s/^< /  lacks /p' | head -n 40 >&2
  exit 1
fi
echo "ok: $library exports only CameraLastError and CameraSubArea"
