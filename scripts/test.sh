#!/usr/bin/env bash
# Installs what is missing, builds Lumaro and runs every test (unit, widget,
# end-to-end under Xvfb, and a bounded fuzzing run).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --test
bash scripts/build.sh
cd build
ctest --output-on-failure --timeout 600 -j2
