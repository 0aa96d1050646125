#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time (FUZZ_SECONDS, 30 by default):
# first every committed regression input on its own, then fuzzing from the
# seeds. A crash leaves its input in WORK/crash-*; commit it under
# tests/fuzz/regressions/<target>/ so that every later run replays it.
#   bash tests/fuzz/run.sh TARGET WORK REGRESSIONS SEEDS...
set -uo pipefail
target=$1 work=$2 regressions=$3
shift 3
mkdir -p "$work/corpus" "$regressions"
cd "$work" || exit 1
if compgen -G "$regressions/*" >/dev/null; then
  "$target" -runs=0 "$regressions"/* >regressions.log 2>&1 || { cat regressions.log; exit 1; }
  echo "replayed $(compgen -G "$regressions/*" | wc -l) regression inputs"
fi
"$target" -max_total_time="${FUZZ_SECONDS:-30}" -max_len=65536 -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 "$work/corpus" "$@" >fuzz.log 2>&1
rc=$?
grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)|==[0-9]+==|SUMMARY|Test unit written|runtime error' fuzz.log | head -n 40
exit $rc
