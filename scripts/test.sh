#!/usr/bin/env bash
# Installs what is missing, builds Lumaro and runs every test:
#   1. build/ (g++): the offscreen unit and widget suites, and every
#      end-to-end test under Xvfb (window, capture, help, accessibility, the
#      monkey run, kills mid-save, bad files, a full disk);
#   2. build-asan/ (clang, AddressSanitizer + UndefinedBehaviorSanitizer):
#      the unit suites, the bounded fuzzing runs and one end-to-end run,
#      failing on any sanitizer report;
#   3. build-windows/ (mingw-w64, against Qt for Windows built once into
#      ~/.cache/lumaro): the unit suites, a capture end to end and the
#      installer, under Wine (scripts/windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --test
jobs=$(nproc)

bash scripts/build.sh
(cd build && ctest --output-on-failure --timeout 900 -j"$jobs")

CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMARO_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
cd build-asan
ctest --output-on-failure --timeout 900 -j"$jobs" -L 'unit|fuzz'
ctest --output-on-failure --timeout 900 -R '^e2e_capture$'
cd ..

bash scripts/windows.sh
