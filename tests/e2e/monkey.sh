#!/usr/bin/env bash
# A seeded stream of random clicks, drags and keys over the real window and
# whatever it opens (menus, dialogs, message boxes, the capture selector;
# Esc is among the keys, so what opens also closes). Fails when the program
# dies or stops answering for 5 s, and prints the seed and the last events.
#   MONKEY_SEED=N MONKEY_EVENTS=M   replay a run, or make a longer one
E2E_AS_USER=1
source "$(dirname "$0")/lib.sh"

seed=${MONKEY_SEED:-$(random_seed)}
events=${MONKEY_EVENTS:-5000}
monkey_home

start_lumaro "$1" 1280x1024
echo "monkey: seed $seed, $events events (replay: MONKEY_SEED=$seed MONKEY_EVENTS=$events ctest -R e2e_monkey)"
start=$SECONDS
status=0
monkey_events "$seed" "$events" "$E2E_TMP/events.log" || status=$?
if ((status != 0)); then
  monkey_last_events "$E2E_TMP/events.log"
  sanitizer_clean
  fail "seed $seed: $(tail -n 20 "$E2E_TMP/app.log")"
fi
alive
sanitizer_clean
pass "$events events in $((SECONDS - start)) s, no crash, no hang"
finish
