#!/usr/bin/env bash
# Builds the ValueOfText fuzz target with clang and libFuzzer and runs it for
# a bounded time (FUZZ_SECONDS, 30 by default).
#   bash tests/fuzz/run.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
out=$2/fuzz
mkdir -p "$out/corpus"
cxx=$(command -v clang++ || ls /usr/bin/clang++-* 2>/dev/null | head -n1)
[[ -n "$cxx" ]] || { echo "clang++ not found (bash scripts/deps.sh --test installs it)" >&2; exit 1; }
"$cxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I "$src/src" "$src/src/window/ValueOfText.cpp" "$src/tests/fuzz/valueoftext_fuzz.cpp" \
  -o "$out/valueoftext_fuzz"
"$out/valueoftext_fuzz" -max_total_time="${FUZZ_SECONDS:-30}" -max_len=4096 -timeout=5 \
  -print_final_stats=1 "$out/corpus" "$src/tests/fuzz/corpus" 2>&1 | tail -n 12
