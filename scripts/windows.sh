#!/usr/bin/env bash
# Lumaro for Windows, built here and tested under Wine:
#   1. Qt for Windows from Debian's source, cached (scripts/windows-qt.sh);
#   2. lumaro.exe, CameraDll.dll and the unit suites into build-windows/bin,
#      cross-built with mingw-w64 (cmake/mingw-w64-x86_64.cmake);
#   3. the installer and a portable zip: build-windows/lumaro-<version>-win64.{exe,zip};
#   4. under Wine on Xvfb: every unit suite on the offscreen platform, the
#      capture end to end, and the installer (install, start, uninstall).
#
#   bash scripts/windows.sh              all of it
#   bash scripts/windows.sh --build      1 to 3 only
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --windows
jobs=${LUMARO_JOBS:-$(nproc)}
t0=$SECONDS
step() { echo "== windows: $* ($((SECONDS - t0)) s)"; }

step "Qt for Windows"
qt=$(bash scripts/windows-qt.sh)

step "Lumaro for Windows"
cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_PREFIX_PATH="$qt" -DQT_HOST_PATH=/usr \
      -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DLUMARO_WERROR="${LUMARO_WERROR:-OFF}" >/dev/null
cmake --build build-windows -j"$jobs"

step "the installer"
(cd build-windows && cpack >cpack.log 2>&1) || { tail -n 30 build-windows/cpack.log; exit 1; }
ls -l build-windows/lumaro-*-win64.exe build-windows/lumaro-*-win64.zip

[[ ${1:-} == --build ]] && exit 0
step "the tests under Wine"
# One Wine session at a time: a second program would join the first's.
(cd build-windows && ctest --output-on-failure --timeout 900 -j1)
step "done"
